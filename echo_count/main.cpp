#include <charconv>
#include <iostream>
#include <iterator>
#include <limits>
#include <string>
#include <string_view>

#include "count.h"
#include "echo.h"
#include "report.h"

int main(int argc, char** argv) {
  return exit_status("echo_count", [&] {
    const std::string text = echo(argc, argv);
    const int n = count(text);
    // The same digits as the stream's integer insertion writes in the
    // classic locale, which these programs never change, without the
    // locale's number formatting, which costs about 1,000 instructions.
    char digits[std::numeric_limits<int>::digits10 + 2] = {};
    const char* end =
        std::to_chars(std::begin(digits), std::end(digits), n).ptr;
    const std::string_view number(digits,
                                  static_cast<std::size_t>(end - digits));
    // finish() flushes the line, so no std::endl here.
    std::cout << "Count of output: " << number << "\n";
  });
}
