# How the two programs are linked.

# Section garbage collection drops the unused parts of the static C and C++
# libraries, which keeps the image, and so the pages touched at start, small.
set(release "$<NOT:$<CONFIG:Debug>>")
foreach(target IN ITEMS echo_common echo_args echo_count)
  target_compile_options(
    ${target} PRIVATE "$<${release}:-ffunction-sections;-fdata-sections>")
endforeach()

# Static linking is what lets these programs start faster than a dynamically
# linked echo: no loader, no relocations, a fraction of the pages touched.
# Not every system has the static C and C++ libraries (Fedora without
# glibc-static, macOS), so a C++ program is linked with -static first.
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

if(ECHO_TOOLS_LINKED_STATICALLY)
  # The functions a run executes lie scattered over the static C and C++
  # libraries; laid out side by side they fill a few pages instead of most of
  # the executable, which halves the memory a run maps in. Only lld takes an
  # ordering of symbols; without it the layout is left as it is. lld warns of
  # any entry it cannot place, the sign that the lists need regenerating.
  set(order OFF)
  if(ECHO_TOOLS_ORDER_STARTUP)
    include(CheckLinkerFlag)
    check_linker_flag(CXX "-fuse-ld=lld" ECHO_TOOLS_HAVE_LLD)
    set(order ${ECHO_TOOLS_HAVE_LLD})
  endif()
  foreach(program IN ITEMS echo_args echo_count)
    target_link_options(${program} PRIVATE -static
                        "$<${release}:-Wl,--gc-sections>")
    if(order)
      set(list "${PROJECT_SOURCE_DIR}/cmake/startup-symbols/${program}.txt")
      target_link_options(
        ${program} PRIVATE
        "$<${release}:-fuse-ld=lld;-Wl,--symbol-ordering-file=${list}>")
      set_property(TARGET ${program} APPEND PROPERTY LINK_DEPENDS "${list}")
    endif()
  endforeach()
endif()

# .comment holds only the versions of the compilers and linker that made the
# libraries; nothing reads it at run time, so the programs go without it.
if(CMAKE_OBJCOPY)
  foreach(program IN ITEMS echo_args echo_count)
    add_custom_command(
      TARGET ${program} POST_BUILD
      COMMAND "${CMAKE_OBJCOPY}" --remove-section=.comment
              "$<TARGET_FILE:${program}>"
      VERBATIM)
  endforeach()
endif()
