#include <cerrno>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>

#include "count.h"
#include "echo.h"
#include "report.h"

int main(int argc, char** argv) {
  try {
    const std::string text = echo(argc, argv);
    const int n = count(text);
    // std::endl flushes inside the insertion, so errno is read right after
    // it, before any later call can overwrite the failed write's reason.
    errno = 0;
    if (!(std::cout << "Count of output: " << n << std::endl)) {
      return write_error("echo_count", errno);
    }
  } catch (const std::bad_alloc&) {
    return memory_exhausted("echo_count");
  } catch (const std::length_error&) {
    return memory_exhausted("echo_count");
  }
  return 0;
}
