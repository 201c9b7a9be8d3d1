#pragma once

#include <cerrno>
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

// Runs a program's work, which writes its output to std::cout, and returns
// the exit status: finish()'s, or memory_exhausted()'s when the work runs out
// of memory. errno is cleared first, so that the reason of a failed write is
// never one left over from the program's start.
template <typename Work>
int exit_status(const char* name, const Work& work) {
  errno = 0;
  try {
    work();
  } catch (const std::bad_alloc&) {
    return memory_exhausted(name);
  } catch (const std::length_error&) {
    return memory_exhausted(name);
  }
  return finish(name);
}
