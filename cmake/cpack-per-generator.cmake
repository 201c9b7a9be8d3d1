# Read by cpack once for each generator: the programs and the compressed
# manual pages go in every package, the Debian files only in the .deb, the
# licence under share/licenses only in the .rpm, and LICENSE and README.md
# only in the tarball and the zip, which unpack into a folder of their own;
# the zip has the pages as text instead.
if(CPACK_INSTALLED_DIRECTORIES)
  # Only CPackSourceConfig.cmake (package_source) sets this. It would pack
  # the whole folder, an in-tree build and untracked files too, with modes
  # that follow the checkout's umask.
  message(FATAL_ERROR "The source tarball is made from the last commit by "
                      "the dist target: cmake --workflow --preset dist, or "
                      "cmake --build BUILD-DIR --target dist")
endif()
if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  set(ENV{SOURCE_DATE_EPOCH} "${CPACK_ECHO_TOOLS_EPOCH}")
endif()
if(CPACK_GENERATOR STREQUAL "DEB")
  if(CPACK_ECHO_TOOLS_UNNAMED_TARGET)
    message(FATAL_ERROR "No Debian architecture is known for "
                        "${CPACK_ECHO_TOOLS_UNNAMED_TARGET}: configure with "
                        "-DCPACK_DEBIAN_PACKAGE_ARCHITECTURE=NAME")
  endif()
  set(CPACK_COMPONENTS_ALL programs packaged_man debian)
  # Without dpkg-shlibdeps cpack would make a dynamically linked package that
  # depends on nothing, and call it a success.
  if(CPACK_DEBIAN_PACKAGE_SHLIBDEPS)
    find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
    find_program(FILE_PROGRAM file)
    if(NOT DPKG_SHLIBDEPS OR NOT FILE_PROGRAM)
      message(FATAL_ERROR "A .deb of dynamically linked programs needs "
                          "dpkg-shlibdeps and file (Debian: dpkg-dev file)")
    endif()
  endif()
elseif(CPACK_GENERATOR STREQUAL "RPM")
  set(CPACK_COMPONENTS_ALL programs packaged_man rpm)
elseif(CPACK_GENERATOR STREQUAL "ZIP")
  # Windows's: the manual pages as text. A zip stores its entries' dates in
  # local time, so the same date must be packed under the same zone.
  set(ENV{TZ} UTC)
  set(CPACK_COMPONENTS_ALL programs text_man archive)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_COMPONENTS_ALL programs packaged_man archive)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
