#include "echo.h"

std::string echo(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    text += argv[i];
    // The separator depends on the position only, so an empty operand still
    // keeps its place between its neighbours.
    if (i < argc - 1) {
      text += ' ';
    }
  }
  return text;
}
