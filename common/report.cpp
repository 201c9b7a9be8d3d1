#include "report.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <new>

// A report may be due just as memory or stack has run out, so it needs
// neither: stdio would format into a buffer of several KiB on the stack, but
// the parts of the line go to the kernel as they are, in one writev, so that
// the line still arrives whole.
static int say(const char* name, const char* what, const char* reason) {
  // writev only reads the parts, though iovec holds them as non-const.
  const auto part = [](const char* text) {
    return iovec{const_cast<char*>(text), std::strlen(text)};
  };
  const bool reasoned = reason != nullptr;
  const iovec line[] = {part(name),
                        part(": "),
                        part(what),
                        part(reasoned ? ": " : ""),
                        part(reasoned ? reason : ""),
                        part("\n")};
  const ssize_t written =
      writev(STDERR_FILENO, line, static_cast<int>(std::size(line)));
  static_cast<void>(written);  // nobody is left to tell if this fails too
  return 1;
}

static int write_error(const char* name, int err) {
  return say(name, "write error", err != 0 ? std::strerror(err) : nullptr);
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
  return say(name, "memory exhausted", nullptr);
}

// The name that the new-handler reports under; set once, by begin().
static const char* running = "";

[[noreturn]] static void out_of_memory() { _exit(memory_exhausted(running)); }

void begin(const char* name) {
  running = name;
  std::set_new_handler(out_of_memory);
  errno = 0;
}
