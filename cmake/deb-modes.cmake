# Run by cpack after it makes a package. cpack writes the three members of a
# .deb with the builder's umask and copies their modes into the ar headers,
# so a umask of 002 changes the bytes. This sets each header's mode to 0644,
# in place: the header is 60 bytes, its mode 8 bytes at offset 40, and
# members start on even offsets after the 8-byte "!<arch>\n".
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  file(SIZE "${package}" size)
  set(at 8)
  while(at LESS size)
    file(READ "${package}" length OFFSET ${at} LIMIT 58)
    string(SUBSTRING "${length}" 48 10 length)
    string(STRIP "${length}" length)
    math(EXPR mode_at "${at} + 40")
    execute_process(
      COMMAND printf "%-8s" 100644
      COMMAND dd "of=${package}" bs=1 seek=${mode_at} conv=notrunc status=none
      COMMAND_ERROR_IS_FATAL ANY)
    math(EXPR at "${at} + 60 + ${length} + ${length} % 2")
  endwhile()
endforeach()
