# find_emulator(): how this build runs the target's programs. Sets
# - emulator: the command and its options that go before a program, a list,
#   empty where the programs run natively or where the tests run under the
#   emulator too (Windows); CMAKE_CROSSCOMPILING_EMULATOR where one is found;
# - emulator_how: "natively" or "under COMMAND", for a message;
# - emulator_untested: why the tests cannot run here, or nothing;
# - emulator_target: the target's Debian architecture, in a cross build.
#
# A cross build's tests, and the programs they start, run natively where this
# machine runs the target's programs (i386 on an x86-64 kernel with its
# 32-bit support), else under qemu-user, given as CMAKE_CROSSCOMPILING_EMULATOR
# or found here; without either they are not run. The row of
# cmake/architectures.txt is found by the multiarch name that CMake reads from
# the compiler, as in a distribution's cross build, which brings no toolchain
# file of ours.
function(find_emulator)
  set(emulator "")
  set(how "natively")
  set(untested "")
  set(arch_debian "")
  set(given "${CMAKE_CROSSCOMPILING_EMULATOR}")
  if(CMAKE_CROSSCOMPILING AND WIN32)
    # The tests themselves run under wine (cmake/mingw-w64.cmake sets it),
    # and start the programs as Windows programs.
    set(arch_debian "windows-${CMAKE_SYSTEM_PROCESSOR}")
    if(given)
      set(how "under ${given}")
    else()
      set(untested "no wine")
    endif()
  elseif(CMAKE_CROSSCOMPILING)
    include("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/architectures.cmake")
    architecture(multiarch "${CMAKE_LIBRARY_ARCHITECTURE}")
    if(NOT arch_debian)
      set(arch_debian "${CMAKE_SYSTEM_PROCESSOR}")
    endif()
    set(how "")
    if(NOT given
       AND CMAKE_HOST_SYSTEM_PROCESSOR STREQUAL "x86_64"
       AND arch_processor STREQUAL "i686")
      set(probe "${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/native-probe")
      file(WRITE "${probe}.cpp" "int main() { return 0; }\n")
      try_compile(linked "${probe}" SOURCES "${probe}.cpp"
                  COPY_FILE "${probe}.out")
      set(result 1)
      if(linked)
        execute_process(COMMAND "${probe}.out" RESULT_VARIABLE result
                        OUTPUT_QUIET ERROR_QUIET)
      endif()
      if(result STREQUAL "0")
        set(how "natively")
      endif()
    endif()
    if(NOT how AND NOT given AND arch_qemu)
      find_program(ECHO_TOOLS_QEMU NAMES qemu-${arch_qemu}-static
                                         qemu-${arch_qemu})
      if(ECHO_TOOLS_QEMU)
        # Debian's multiarch C library of the target, where it is installed,
        # else the cross toolchain's, under -L.
        set(given "${ECHO_TOOLS_QEMU}")
        if(NOT EXISTS "/lib/${CMAKE_LIBRARY_ARCHITECTURE}/libc.so.6"
           AND NOT EXISTS "/usr/lib/${CMAKE_LIBRARY_ARCHITECTURE}/libc.so.6"
           AND arch_gnu AND IS_DIRECTORY "/usr/${arch_gnu}")
          list(APPEND given -L "/usr/${arch_gnu}")
          # Debian 12's i386 cross C library (libc6-i386-cross 2.36-8cross1)
          # makes a forked child spin forever under qemu-i386, just after
          # set_robust_list fails, so the tests would hang; libc6:i386 does
          # not. The static programs alone, which fork nothing, still run.
          if(arch_debian STREQUAL "i386")
            string(CONCAT untested
                   "the tests would hang under qemu-i386 with the cross C "
                   "library (dpkg --add-architecture i386 && "
                   "apt-get install libc6:i386)")
          endif()
        endif()
      endif()
    endif()
    if(given)
      set(emulator ${given})
      list(POP_FRONT emulator name)
      find_program(EMULATOR_PROGRAM "${name}" REQUIRED)
      list(PREPEND emulator "${EMULATOR_PROGRAM}")
      list(JOIN emulator " " how)
      set(how "under ${how}")
    elseif(NOT how)
      set(untested "no emulator for ${arch_debian}")
    endif()
  endif()
  set(emulator "${emulator}" PARENT_SCOPE)
  set(emulator_how "${how}" PARENT_SCOPE)
  set(emulator_untested "${untested}" PARENT_SCOPE)
  set(emulator_target "${arch_debian}" PARENT_SCOPE)
  set(CMAKE_CROSSCOMPILING_EMULATOR "${given}" PARENT_SCOPE)
endfunction()
