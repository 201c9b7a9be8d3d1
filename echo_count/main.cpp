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
    errno = 0;
    // finish() flushes the line, so no std::endl here.
    std::cout << "Count of output: " << n << "\n";
  } catch (const std::bad_alloc&) {
    return memory_exhausted("echo_count");
  } catch (const std::length_error&) {
    return memory_exhausted("echo_count");
  }
  return finish("echo_count");
}
