#include "echo.h"

#include <cstddef>
#include <cstring>

std::string echo(int argc, char** argv) {
  std::string text;
  if (argc < 2) {
    return text;
  }
  // The text is allocated once, at its final size: grown by doubling, it
  // would take up to twice that at its peak, and copy itself at each step.
  auto size = static_cast<std::size_t>(argc - 2);  // the separators
  for (int i = 1; i < argc; ++i) {
    size += std::strlen(argv[i]);
  }
  text.reserve(size);
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
