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
      errno = 0;
      std::cout << text;
    }
    std::cout << "\n";
  } catch (const std::bad_alloc&) {
    return memory_exhausted("echo_args");
  } catch (const std::length_error&) {
    return memory_exhausted("echo_args");
  }
  return finish("echo_args");
}
