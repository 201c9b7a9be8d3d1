#include "report.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

// glibc formats a call's whole output to an unbuffered stream in a buffer
// of its own and hands it over at once, so each message is one write.
static int write_error(const char* name, int err) {
  if (err != 0) {
    std::fprintf(stderr, "%s: write error: %s\n", name, std::strerror(err));
  } else {
    std::fprintf(stderr, "%s: write error\n", name);
  }
  return 1;
}

int finish(const char* name) {
  // Once a write fails the stream skips every later operation, so errno
  // still holds that write's reason here. On a terminal the C library
  // flushes at each line feed, and when that flush fails the write that
  // caused it still reports success: only the C stream's error flag
  // remembers it.
  if (!std::cout.flush() || std::ferror(stdout) != 0) {
    return write_error(name, errno);
  }
  // The library flushes std::cout once more after main returns; with nothing
  // left to write that flush no longer needs the descriptor. The stream
  // itself stays open for it, so only the descriptor is closed.
  if (close(STDOUT_FILENO) != 0) {
    return write_error(name, errno);
  }
  return 0;
}

int memory_exhausted(const char* name) {
  std::fprintf(stderr, "%s: memory exhausted\n", name);
  return 1;
}
