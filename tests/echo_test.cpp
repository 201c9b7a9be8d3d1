#include "echo.h"

#include <gtest/gtest.h>

#include "argv.h"
#include "cases.h"
#include "count.h"

TEST(echo, joins_operands_after_the_program_name) {
  for (const auto& c : join_cases()) {
    std::vector<std::string> args{"program-name"};
    args.insert(args.end(), c.operands.begin(), c.operands.end());
    std::vector<char*> argv = argv_of(args);
    EXPECT_EQ(echo(static_cast<int>(c.operands.size() + 1), argv.data()),
              c.joined)
        << c.name;
  }
}

TEST(echo, reads_no_entry_without_operands) {
  // A null vector would crash if any entry were read.
  for (const int argc : {1, 0, -1, -2147483647 - 1}) {
    EXPECT_EQ(echo(argc, nullptr), "") << argc;
  }
}

TEST(echo, reads_only_the_first_argc_entries) {
  std::string a = "a";
  std::string b = "b";
  std::string unread = "unread";
  char* argv[] = {a.data(), a.data(), b.data(), unread.data(), nullptr};
  EXPECT_EQ(echo(3, argv), "a b");
}

// Needs 2 GiB of memory, so it runs only on request:
//   echo_tests --gtest_also_run_disabled_tests --gtest_filter='count.*'
TEST(count, DISABLED_saturates_at_the_largest_int) {
  if (std::string().max_size() < std::size_t{1} << 31) {
    GTEST_SKIP() << "a string cannot hold 2^31 bytes here";
  }
  std::string text(std::size_t{1} << 31, 'x');
  EXPECT_EQ(count(text), 2147483647);
  text.pop_back();
  EXPECT_EQ(count(text), 2147483647);
  text.pop_back();
  EXPECT_EQ(count(text), 2147483646);
}
