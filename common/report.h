#pragma once

#include <new>
#include <stdexcept>

// The ways a run ends. Each failure prints one line on standard error in a
// single write, prefixed with the program's name, and gives the exit status 1.
// A report needs no stdio and less stack than the run it reports on.

// Ends a run that wrote to std::cout: flushes it, checks that every byte got
// out, then closes standard output, since some filesystems (NFS, quotas)
// report a lost write only at close. Returns 0, or 1 after printing
// "NAME: write error: REASON", REASON being that of the failed write.
int finish(const char* name);

// "NAME: memory exhausted". Allocates nothing and needs little stack, as
// memory has just run out.
int memory_exhausted(const char* name);

// Readies a run of the program called name: a failed allocation then prints
// "NAME: memory exhausted" and ends the process with status 1 at once, since
// the C++ library may have no memory left to throw std::bad_alloc with (a
// dynamically linked libstdc++ allocates that room at load, and under a
// tight limit gets none). Nothing is written before the joining, so nothing
// is lost. errno is cleared, so that the reason of a failed write is never
// one left over from the program's start.
void begin(const char* name);

// Runs a program's work, which writes its output to std::cout, and returns
// the exit status: finish()'s, or memory_exhausted()'s when the work fails
// for want of room in a way that does not pass through operator new (a text
// longer than a string can hold).
template <typename Work>
int exit_status(const char* name, const Work& work) {
  begin(name);
  try {
    work();
  } catch (const std::bad_alloc&) {
    return memory_exhausted(name);
  } catch (const std::length_error&) {
    return memory_exhausted(name);
  }
  return finish(name);
}
