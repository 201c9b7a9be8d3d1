#include <cerrno>
#include <charconv>
#include <iostream>
#include <iterator>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "count.h"
#include "echo.h"
#include "report.h"

int main(int argc, char** argv) {
  try {
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
    errno = 0;
    // finish() flushes the line, so no std::endl here.
    std::cout << "Count of output: " << number << "\n";
  } catch (const std::bad_alloc&) {
    return memory_exhausted("echo_count");
  } catch (const std::length_error&) {
    return memory_exhausted("echo_count");
  }
  return finish("echo_count");
}
