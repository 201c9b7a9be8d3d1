#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "argv.h"
#include "echo.h"

// The input is a list of operands, each ended by a NUL byte; a last operand
// may lack its NUL. So "" gives no operands and "\0" one empty operand.
static std::vector<std::string> operands(const std::string& input) {
  std::vector<std::string> list;
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t end = input.find('\0', start);
    if (end == std::string::npos) {
      end = input.size();
    }
    list.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  return list;
}

static void check(bool holds) {
  if (!holds) {
    std::abort();
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args = operands(input);
  args.insert(args.begin(), "echo_fuzz");
  std::vector<char*> argv = argv_of(args);

  const std::string text = echo(static_cast<int>(args.size()), argv.data());

  // The length: every operand's bytes and one separator between neighbours,
  // so with the walk below nothing else can be in the text.
  std::size_t length = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    length += args[i].size() + (i > 1 ? 1 : 0);
  }
  check(text.size() == length);

  // Each operand's bytes in place, one space between neighbours.
  std::size_t at = 0;
  for (std::size_t i = 1; i < args.size(); ++i) {
    if (i > 1) {
      check(text[at] == ' ');
      ++at;
    }
    check(text.compare(at, args[i].size(), args[i]) == 0);
    at += args[i].size();
  }
  return 0;
}
