# A Debian package of the two programs and their manual pages:
#   cpack --preset release   (or cpack -G DEB in the release build directory)
set(CPACK_PACKAGE_NAME "echo-tools")
set(CPACK_PACKAGE_VENDOR "echo_tools developers")
set(CPACK_PACKAGE_CONTACT "echo_tools developers <echo-tools@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "write command-line operands, or their byte count, exactly as given")
# The summary above is the package's one-line description; this is the long one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "echo_args writes its operands joined by single spaces and a line feed;
echo_count writes only the number of bytes in that joined text. Neither
interprets anything: -n, -e, --help, backslashes and bytes above 0x7F are
copied exactly as given, unlike the shell's echo, whose handling of these
differs between shells and systems.")
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# Statically linked programs need nothing from the system, not even libc;
# otherwise dpkg-shlibdeps works out the libraries they need.
if(NOT ECHO_TOOLS_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
