# GoogleTest for the tests: an installed one (libgtest-dev) where it links
# with this build, else Debian's sources (/usr/src/googletest, package
# googletest) built along with the tests. The sources serve a target that has
# no libgtest-dev and a build with another C++ library, such as libc++.
# Sets googletest to the target the tests link, or to nothing.
set(ECHO_TOOLS_GTEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest's sources, built where no installed GoogleTest links")
set(googletest "")
find_package(GTest CONFIG QUIET)
if(GTest_FOUND)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_LIBRARIES GTest::gtest_main)
  set(CMAKE_REQUIRED_QUIET ON)
  # A failed check is tried again at the next configure, where the flags or
  # the packages may have changed.
  if(NOT ECHO_TOOLS_GTEST_LINKS)
    unset(ECHO_TOOLS_GTEST_LINKS CACHE)
  endif()
  check_cxx_source_compiles(
    "#include <gtest/gtest.h>\nTEST(a, b) { EXPECT_EQ(1, 1); }"
    ECHO_TOOLS_GTEST_LINKS)
  unset(CMAKE_REQUIRED_LIBRARIES)
  unset(CMAKE_REQUIRED_QUIET)
  if(ECHO_TOOLS_GTEST_LINKS)
    set(googletest GTest::gtest_main)
  endif()
endif()
if(NOT googletest
   AND EXISTS "${ECHO_TOOLS_GTEST_SOURCE}/googletest/CMakeLists.txt")
  message(STATUS "GoogleTest: built from ${ECHO_TOOLS_GTEST_SOURCE}")
  set(BUILD_GMOCK OFF)
  set(INSTALL_GTEST OFF)
  add_subdirectory("${ECHO_TOOLS_GTEST_SOURCE}" googletest EXCLUDE_FROM_ALL
                   SYSTEM)
  # Not our code: built without warnings and unlinted.
  foreach(target IN ITEMS gtest gtest_main)
    target_compile_options(${target} PRIVATE -w)
    set_target_properties(${target} PROPERTIES CXX_CLANG_TIDY ""
                                               CXX_CPPCHECK "")
  endforeach()
  set(googletest gtest_main)
endif()
