#include <cerrno>
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>

#include "echo.h"
#include "report.h"

int main(int argc, char** argv) {
  try {
    {
      const std::string text = echo(argc, argv);
      // Once a write fails the stream skips every later operation, so errno
      // still holds that write's reason when the state is checked below.
      errno = 0;
      std::cout << text;
    }
    std::cout << "\n";
    // Flush here rather than at exit, while a failure (a full disk, a closed
    // descriptor) can still change the exit status.
    std::cout.flush();
  } catch (const std::bad_alloc&) {
    return memory_exhausted("echo_args");
  } catch (const std::length_error&) {
    return memory_exhausted("echo_args");
  }
  if (!std::cout) {
    return write_error("echo_args", errno);
  }
  return 0;
}
