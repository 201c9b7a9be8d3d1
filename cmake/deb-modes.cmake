# Run by cpack after it makes a package. CPack's DEB generator writes the
# three members of a .deb with the builder's umask and copies their modes
# into the ar headers (seen with CMake 3.25 on Debian 12 and 3.31 on Debian
# 13), so a umask of 002 changes the bytes; CPack has no setting for them.
# This sets each header's mode to 100644, in place: the header is 60 bytes,
# its mode 8 bytes at offset 40, and members start on even offsets after the
# 8-byte "!<arch>\n".
#
# deb-modes.txt, beside the packages, records the umask and each member
# whose mode was set, so that a check made under umask 002 (the test
# package.deb_modes) tells when CPack gets them right itself.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  execute_process(COMMAND sh -c umask OUTPUT_VARIABLE umask
                  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(record "umask ${umask}\n")
  file(SIZE "${package}" size)
  set(at 8)
  while(at LESS size)
    file(READ "${package}" header OFFSET ${at} LIMIT 58)
    string(SUBSTRING "${header}" 0 16 name)
    string(SUBSTRING "${header}" 40 8 mode)
    string(SUBSTRING "${header}" 48 10 length)
    string(STRIP "${name}" name)
    string(STRIP "${mode}" mode)
    string(STRIP "${length}" length)
    if(NOT mode STREQUAL "100644")
      math(EXPR mode_at "${at} + 40")
      execute_process(
        COMMAND printf "%-8s" 100644
        COMMAND dd "of=${package}" bs=1 seek=${mode_at} conv=notrunc status=none
        COMMAND_ERROR_IS_FATAL ANY)
      string(APPEND record "set ${name} ${mode}\n")
    endif()
    math(EXPR at "${at} + 60 + ${length} + ${length} % 2")
  endwhile()
  file(WRITE "${CPACK_PACKAGE_DIRECTORY}/deb-modes.txt" "${record}")
endforeach()
