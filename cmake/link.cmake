# How the programs, named in ${programs}, are linked. By default as a
# distribution links them: dynamically, position-independent where that is
# the toolchain's default, by the compiler's default linker, with the
# packager's flags. The release preset asks for a static link, which makes
# them start faster.

# A dynamically linked C++ program spends most of a small call in the loader,
# binding libstdc++; a dynamic C program starts faster than /bin/echo
# already. Linked statically, the programs need no loader, no symbol lookups
# and no relocations but the few that pick the C library's string functions
# for the CPU. Not every system
# has the static C and C++ libraries (Fedora without glibc-static, macOS), so
# a C++ program is linked with -static first.
set(ECHO_TOOLS_LINKED_STATICALLY OFF)
if(ECHO_TOOLS_STATIC)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles(
    "#include <iostream>\nint main() { std::cout << 1; }"
    ECHO_TOOLS_STATIC_LINKS)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
  unset(CMAKE_REQUIRED_QUIET)
  if(ECHO_TOOLS_STATIC_LINKS)
    set(ECHO_TOOLS_LINKED_STATICALLY ON)
  else()
    list(JOIN programs ", " names)
    message(STATUS "-static does not link a C++ program here, "
                   "so ${names} are linked dynamically")
  endif()
endif()

set(static_options "")
if(ECHO_TOOLS_LINKED_STATICALLY)
  # Section garbage collection drops the unused parts of the static C and C++
  # libraries, which keeps the image, and so the pages touched at start,
  # small.
  set(release "$<NOT:$<CONFIG:Debug>>")
  foreach(target IN ITEMS echo_common ${programs})
    target_compile_options(
      ${target} PRIVATE "$<${release}:-ffunction-sections;-fdata-sections>")
  endforeach()
  set(static_options -static "$<${release}:-Wl,--gc-sections>")
  # gcc -static starts a program with crtbeginT.o and, unlike any other link,
  # without --eh-frame-hdr (the link command of GCC's Linux driver), so
  # crtbeginT.o hands the whole .eh_frame to libgcc's unwinder before main
  # (__register_frame_info). GCC 12's unwinder only notes the table then;
  # since GCC 13, whose unwinder keeps registered frames in a b-tree,
  # registering sorts every frame of the static libraries at once, five
  # times the work of the rest of the start-up, on every run.
  # crtbegin.o, the start file of an ordinary executable, differs only in
  # leaving that out: with the frame header that --eh-frame-hdr adds, the
  # unwinder finds the frames itself if an exception is ever thrown. -B puts
  # crtbegin.o first on the compiler's search path under the name that
  # -static asks for (gcc and clang alike). The flags pick the file of the
  # target at hand, as -m32 does. The test build.start_files checks that an
  # exception is still caught, that nothing registers frames at start, and
  # that the toolchain's crtbeginT.o still would.
  separate_arguments(flags UNIX_COMMAND "${CMAKE_CXX_FLAGS}")
  execute_process(
    COMMAND ${CMAKE_CXX_COMPILER} ${flags} -print-file-name=crtbegin.o
    OUTPUT_VARIABLE crtbegin OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${crtbegin}" AND EXISTS "${crtbegin}")
    set(start_files "${PROJECT_BINARY_DIR}/start-files")
    file(MAKE_DIRECTORY "${start_files}")
    file(COPY_FILE "${crtbegin}" "${start_files}/crtbeginT.o"
         ONLY_IF_DIFFERENT)
    list(APPEND static_options "-B${start_files}/" -Wl,--eh-frame-hdr)
  endif()
endif()
foreach(program IN LISTS programs)
  target_link_options(${program} PRIVATE ${static_options})
endforeach()
