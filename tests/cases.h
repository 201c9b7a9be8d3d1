#pragma once

#include <string>
#include <vector>

// Operand lists and the text that joining them must give, shared by the tests
// of the joining function and of both programs.
struct join_case {
  std::string name;
  std::vector<std::string> operands;
  std::string joined;
};

inline std::vector<join_case> join_cases() {
  std::string every_byte;
  for (int b = 1; b <= 0xFF; ++b) {
    every_byte += static_cast<char>(b);
  }
  // 20,000 operands "w": a "w" at every even offset, spaces between.
  std::string many_joined(2 * 20000 - 1, ' ');
  for (std::size_t i = 0; i < many_joined.size(); i += 2) {
    many_joined[i] = 'w';
  }
  const std::string long_operand(100000, 'x');
  // Eight operands of the largest size the kernel takes, 1,048,575 bytes
  // joined: a cap on the count below that fails this case.
  const std::string largest(131071, 'y');
  std::string largest_joined = largest;
  for (int i = 1; i < 8; ++i) {
    largest_joined += ' ' + largest;
  }

  return {
      {"none", {}, ""},
      {"one", {"a"}, "a"},
      {"three", {"a", "b", "c"}, "a b c"},
      {"empty_alone", {""}, ""},
      {"two_empty", {"", ""}, " "},
      {"empty_first", {"", "a"}, " a"},
      {"empty_middle", {"a", "", "b"}, "a  b"},
      {"empty_last", {"a", ""}, "a "},
      {"spaces_tabs_newlines",
       {"a  b", "\tc\n", "d\n\ne"},
       "a  b \tc\n d\n\ne"},
      {"option_like", {"-n", "-e", "--help", "--", "-"}, "-n -e --help -- -"},
      {"backslashes", {R"(\t)", R"(a\nb)", R"(\c)", R"(\)"}, R"(\t a\nb \c \)"},
      {"percent_signs", {"%s", "%n%d"}, "%s %n%d"},
      {"high_bytes",
       {"\x80", "caf\xc3\xa9", "\xfe\xff"},
       "\x80 caf\xc3\xa9 \xfe\xff"},
      {"report_text", {"Count", "of output: 99"}, "Count of output: 99"},
      {"every_byte", {every_byte}, every_byte},
      {"long_operand", {long_operand}, long_operand},
      {"many_operands", std::vector<std::string>(20000, "w"), many_joined},
      {"largest_operands", std::vector<std::string>(8, largest),
       largest_joined},
  };
}
