#include <iostream>
#include <string>

#include "echo.h"
#include "report.h"

int main(int argc, char** argv) {
  return exit_status("echo_args", [&] {
    {
      const std::string text = echo(argc, argv);
      std::cout << text;
    }
    std::cout << "\n";
  });
}
