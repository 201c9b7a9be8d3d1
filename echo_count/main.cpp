#include <iostream>
#include <string>

#include "count.h"
#include "echo.h"
#include "report.h"

int main(int argc, char** argv) {
  return exit_status("echo_count", [&] {
    const std::string text = echo(argc, argv);
    const int n = count(text);
    std::cout << "Count of output: " << n << std::endl;
  });
}
