# How the two programs, named in ${programs}, are linked.

# Section garbage collection drops the unused parts of the static C and C++
# libraries, which keeps the image, and so the pages touched at start, small.
set(release "$<NOT:$<CONFIG:Debug>>")
list(TRANSFORM programs APPEND _main OUTPUT_VARIABLE mains)
foreach(target IN ITEMS echo_common ${mains})
  target_compile_options(
    ${target} PRIVATE "$<${release}:-ffunction-sections;-fdata-sections>")
endforeach()

# Static linking is what lets these programs start faster than a dynamically
# linked echo: no loader, no symbol lookups, and no relocations but the few
# that pick the C library's string functions for the CPU. Not every system
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
    message(STATUS "-static does not link a C++ program here, "
                   "so echo_args and echo_count are linked dynamically")
  endif()
endif()

set(static_options "")
if(ECHO_TOOLS_LINKED_STATICALLY)
  set(static_options -static "$<${release}:-Wl,--gc-sections>")
  # gcc -static starts a program with crtbeginT.o, which hands the whole
  # .eh_frame to the unwinder before main. Since GCC 13 the unwinder then
  # walks every frame of the static libraries at once, five times the work of
  # the rest of the start-up, on every run. crtbegin.o, the start file of an
  # ordinary executable, differs only in leaving that out: with the frame
  # header that --eh-frame-hdr adds, the unwinder finds the frames itself if
  # an exception is ever thrown. -B puts crtbegin.o first on the compiler's
  # search path under the name that -static asks for (gcc and clang alike).
  # The flags pick the file of the target at hand, as -m32 does.
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
# ECHO_TOOLS_ORDER_STARTUP: AUTO (the default) lays out a static release
# build where lld and valgrind are found, ON insists on it, OFF links plainly
# with the compiler's default linker.
set(ECHO_TOOLS_ORDER_STARTUP AUTO CACHE STRING
    "Lay out the start-up code of static release builds: AUTO, ON or OFF")
set_property(CACHE ECHO_TOOLS_ORDER_STARTUP PROPERTY STRINGS AUTO ON OFF)
string(TOUPPER "${ECHO_TOOLS_ORDER_STARTUP}" order)
if(order MATCHES "^(ON|YES|TRUE|Y|1)$")
  set(order ON)
elseif(order MATCHES "^(OFF|NO|FALSE|N|0)$")
  set(order OFF)
elseif(NOT order STREQUAL "AUTO")
  message(FATAL_ERROR "ECHO_TOOLS_ORDER_STARTUP is "
                      "'${ECHO_TOOLS_ORDER_STARTUP}': use AUTO, ON or OFF")
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
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-fuse-ld=lld" ECHO_TOOLS_HAVE_LLD)
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
  if(NOT CMAKE_NM OR NOT CMAKE_OBJDUMP)
    list(APPEND missing binutils)
  endif()
  if(missing)
    list(JOIN missing " " missing)
    set(why "not found: ${missing} (Debian/Ubuntu: apt-get install ${missing})")
  else()
    # valgrind must also run what this build links: one built with -m32, for
    # one, needs valgrind's 32-bit tools. Kept in the cache, as the checks
    # above keep theirs.
    if(NOT DEFINED ECHO_TOOLS_VALGRIND_RUNS)
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
              "$<TARGET_FILE:${program}_unordered>" "${list}"
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

# .comment holds only the versions of the compilers and linker that made the
# libraries; nothing reads it at run time, so the programs go without it.
if(CMAKE_OBJCOPY)
  foreach(program IN LISTS programs)
    add_custom_command(
      TARGET ${program} POST_BUILD
      COMMAND "${CMAKE_OBJCOPY}" --remove-section=.comment
              "$<TARGET_FILE:${program}>"
      VERBATIM)
  endforeach()
endif()
