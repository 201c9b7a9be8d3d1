#include "report.h"

#include <cstdio>
#include <iostream>
#include <iterator>
#include <new>

#include "report_system.h"

// A report may be due just as memory or stack has run out, so it needs
// neither: its parts go to the system as they are, in one write.
static int say(const char* name, const char* what, const char* reason) {
  const bool reasoned = reason != nullptr;
  const char* const line[] = {
      name, ": ", what, reasoned ? ": " : "", reasoned ? reason : "", "\n"};
  write_line(line, std::size(line));
  return 1;
}

static int write_error(const char* name) {
  return say(name, "write error", failure_reason());
}

int finish(const char* name) {
  // Once a write fails the stream skips every later operation, so the
  // system's error still holds that write's reason here. On a terminal the C
  // library flushes at each line feed, and when that flush fails the write
  // that caused it still reports success: only the C stream's error flag
  // remembers it.
  if (!std::cout.flush() || std::ferror(stdout) != 0) {
    return write_error(name);
  }
  // The library flushes std::cout once more after main returns; with nothing
  // left to write that flush no longer needs the descriptor. The stream
  // itself stays open for it, so only the descriptor is closed.
  if (!close_output()) {
    return write_error(name);
  }
  return 0;
}

int memory_exhausted(const char* name) {
  return say(name, "memory exhausted", nullptr);
}

// The name that the new-handler reports under; set once, by begin().
static const char* running = "";

[[noreturn]] static void out_of_memory() { quit(memory_exhausted(running)); }

void begin(const char* name) {
  running = name;
  ready_streams();
  std::set_new_handler(out_of_memory);
  clear_failure();
}
