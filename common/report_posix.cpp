#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "report_system.h"

void ready_streams() {}

void write_line(const char* const* texts, std::size_t count) {
  // stdio would format into a buffer of several KiB on the stack; writev
  // takes the parts as they are. It only reads them, though iovec holds them
  // as non-const. A report has six parts.
  iovec parts[8];
  count = count < 8 ? count : 8;
  for (std::size_t i = 0; i < count; ++i) {
    parts[i] = iovec{const_cast<char*>(texts[i]), std::strlen(texts[i])};
  }
  const ssize_t written = writev(STDERR_FILENO, parts, static_cast<int>(count));
  static_cast<void>(written);  // nobody is left to tell if this fails too
}

const char* failure_reason() {
  return errno != 0 ? std::strerror(errno) : nullptr;
}

void clear_failure() { errno = 0; }

bool close_output() { return close(STDOUT_FILENO) == 0; }

void quit(int status) { _exit(status); }
