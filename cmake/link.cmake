# How the two programs, named in ${programs}, are linked. By default as a
# distribution links them: dynamically, position-independent where that is
# the toolchain's default, by the compiler's default linker, with the
# packager's flags. The release preset asks for a static link and the
# start-up layout below, which make them start faster.

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
  list(TRANSFORM programs APPEND _main OUTPUT_VARIABLE mains)
  foreach(target IN ITEMS echo_common ${mains})
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

# The start-up layout. The functions a run executes lie scattered over the
# static C and C++ libraries; laid out side by side they fill a few pages
# instead of most of the executable, which halves the memory a run maps in.
# Their names are internals of the toolchain at hand, so the build finds them
# itself: it links each program once, runs it under valgrind to list the
# functions it enters, and links it again with lld, which takes that list as
# the order of its sections.
#
# ECHO_TOOLS_ORDER_STARTUP: OFF (the default) links plainly with the
# compiler's default linker; AUTO, the release preset's choice, lays out a
# static release build where lld, valgrind and python3 are found; ON insists
# on it.
set(ECHO_TOOLS_ORDER_STARTUP OFF CACHE STRING
    "Lay out the start-up code of static release builds: OFF, AUTO or ON")
set_property(CACHE ECHO_TOOLS_ORDER_STARTUP PROPERTY STRINGS OFF AUTO ON)
string(TOUPPER "${ECHO_TOOLS_ORDER_STARTUP}" order)
if(order MATCHES "^(ON|YES|TRUE|Y|1)$")
  set(order ON)
elseif(order MATCHES "^(OFF|NO|FALSE|N|0)$")
  set(order OFF)
elseif(NOT order STREQUAL "AUTO")
  message(FATAL_ERROR "ECHO_TOOLS_ORDER_STARTUP is "
                      "'${ECHO_TOOLS_ORDER_STARTUP}': use OFF, AUTO or ON")
endif()

get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)
set(why "")
if(order STREQUAL "OFF")
  set(why "ECHO_TOOLS_ORDER_STARTUP is OFF")
elseif(NOT ECHO_TOOLS_LINKED_STATICALLY)
  set(why "the programs are not linked statically")
elseif(CMAKE_CROSSCOMPILING)
  # Most targets run here only under qemu, where valgrind cannot profile
  # them, and cmake/startup-order.py finds the string functions' variants in
  # x86-64 code only.
  set(why "a cross build")
elseif(multi_config)
  set(why "a multi-configuration generator, which profiles no single build")
elseif(CMAKE_BUILD_TYPE STREQUAL "Debug")
  set(why "a Debug build")
else()
  # A check that failed is made again at the next configure, as
  # find_program searches again, so that a tool installed since is found.
  if(NOT ECHO_TOOLS_HAVE_LLD)
    unset(ECHO_TOOLS_HAVE_LLD CACHE)
  endif()
  include(CheckLinkerFlag)
  set(CMAKE_REQUIRED_QUIET ON)
  check_linker_flag(CXX "-fuse-ld=lld" ECHO_TOOLS_HAVE_LLD)
  unset(CMAKE_REQUIRED_QUIET)
  find_program(VALGRIND_PROGRAM valgrind)
  find_package(Python3 COMPONENTS Interpreter QUIET)
  set(missing "")
  if(NOT ECHO_TOOLS_HAVE_LLD)
    list(APPEND missing lld)
  endif()
  if(NOT VALGRIND_PROGRAM)
    list(APPEND missing valgrind)
  endif()
  if(NOT Python3_Interpreter_FOUND)
    list(APPEND missing python3)
  endif()
  if(NOT CMAKE_NM OR NOT CMAKE_OBJDUMP OR NOT CMAKE_OBJCOPY)
    list(APPEND missing binutils)
  endif()
  if(missing)
    list(JOIN missing " " missing)
    set(why "not found: ${missing} (Debian/Ubuntu: apt-get install ${missing})")
  else()
    # valgrind must also run what this build links: one built with -m32, for
    # one, needs valgrind's 32-bit tools. Kept in the cache once it holds.
    if(NOT ECHO_TOOLS_VALGRIND_RUNS)
      set(probe "${PROJECT_BINARY_DIR}/CMakeFiles/valgrind-probe")
      file(WRITE "${probe}.cpp" "int main() { return 0; }\n")
      try_compile(linked "${probe}" SOURCES "${probe}.cpp"
                  LINK_OPTIONS ${static_options} COPY_FILE "${probe}.out")
      set(runs OFF)
      if(linked)
        # The result is an exit status, or the reason valgrind did not start.
        execute_process(
          COMMAND "${VALGRIND_PROGRAM}" --tool=none --log-file=/dev/null
                  "${probe}.out"
          RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
        if(result STREQUAL "0")
          set(runs ON)
        endif()
      endif()
      set(ECHO_TOOLS_VALGRIND_RUNS ${runs} CACHE INTERNAL
          "valgrind runs the programs of this build")
    endif()
    if(NOT ECHO_TOOLS_VALGRIND_RUNS)
      set(why "valgrind cannot run the programs of this build")
    endif()
  endif()
endif()

if(why)
  if(order STREQUAL "ON")
    message(FATAL_ERROR "ECHO_TOOLS_ORDER_STARTUP is ON, but the start-up "
                        "layout cannot be made: ${why}. Or configure with "
                        "-DECHO_TOOLS_ORDER_STARTUP=OFF.")
  endif()
  message(STATUS "Start-up layout: off, linked plainly: ${why}")
else()
  message(STATUS "Start-up layout: on, from a valgrind profile of this "
                 "build, linked by lld")
  set(lists "${PROJECT_BINARY_DIR}/startup-order")
  file(MAKE_DIRECTORY "${lists}")
  foreach(program IN LISTS programs)
    # The same objects and options, linked without the order, to profile.
    add_executable(${program}_unordered EXCLUDE_FROM_ALL
                   $<TARGET_OBJECTS:${program}_main>)
    target_link_libraries(${program}_unordered PRIVATE echo_common)
    target_link_options(${program}_unordered PRIVATE ${static_options}
                        -fuse-ld=lld)

    set(list "${lists}/${program}.txt")
    add_custom_command(
      OUTPUT "${list}"
      COMMAND "${Python3_EXECUTABLE}" "${PROJECT_SOURCE_DIR}/cmake/startup-order.py"
              "${VALGRIND_PROGRAM}" "${CMAKE_NM}" "${CMAKE_OBJDUMP}"
              "${CMAKE_OBJCOPY}" "$<TARGET_FILE:${program}_unordered>" "${list}"
      DEPENDS ${program}_unordered "${PROJECT_SOURCE_DIR}/cmake/startup-order.py"
      COMMENT "Profiling the start-up of ${program}"
      VERBATIM)
    add_custom_target(${program}_startup_order DEPENDS "${list}")
    add_dependencies(${program} ${program}_startup_order)
    # lld warns of any entry it cannot place.
    target_link_options(${program} PRIVATE -fuse-ld=lld
                        "-Wl,--symbol-ordering-file=${list}")
    set_property(TARGET ${program} APPEND PROPERTY LINK_DEPENDS "${list}")
  endforeach()
endif()
