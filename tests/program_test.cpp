#include <gtest/gtest.h>

#include <csignal>
#include <random>

#include "cases.h"
#include "run.h"

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ASAN 1
#endif
#endif

static const char* const echo_args = ECHO_ARGS_PATH;
static const char* const echo_count = ECHO_COUNT_PATH;

static std::string report(std::size_t n) {
  return "Count of output: " + std::to_string(n) + "\n";
}

TEST(echo_args, writes_the_joined_operands_and_a_line_feed) {
  for (const auto& c : join_cases()) {
    const result r = run(echo_args, c.operands);
    EXPECT_EQ(r.out, c.joined + "\n") << c.name;
    EXPECT_EQ(r.err, "") << c.name;
    EXPECT_EQ(r.code, 0) << c.name;
  }
}

TEST(echo_count, writes_only_the_report_line) {
  for (const auto& c : join_cases()) {
    const result r = run(echo_count, c.operands);
    EXPECT_EQ(r.out, report(c.joined.size())) << c.name;
    EXPECT_EQ(r.err, "") << c.name;
    EXPECT_EQ(r.code, 0) << c.name;
  }
}

TEST(echo_count, counts_what_echo_args_writes_before_its_line_feed) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> operands(0, 12);
  std::uniform_int_distribution<int> length(0, 24);
  std::uniform_int_distribution<int> byte(1, 0xFF);
  for (int list = 0; list < 300; ++list) {
    std::vector<std::string> args(static_cast<std::size_t>(operands(random)));
    for (auto& a : args) {
      // About one operand in five stays empty.
      const int n = length(random) - 5;
      for (int i = 0; i < n; ++i) {
        a += static_cast<char>(byte(random));
      }
    }
    const result written = run(echo_args, args);
    ASSERT_FALSE(written.out.empty());
    EXPECT_EQ(written.out.back(), '\n');
    EXPECT_EQ(run(echo_count, args).out, report(written.out.size() - 1))
        << "list " << list;
  }
}

// Each failure is tried with a short text, which sits in the stream's buffer
// until the flush, and with one too long to buffer, which is written at once.
TEST(programs, report_a_failed_write) {
  struct failure {
    output out;
    bool sigpipe_ignored;
    std::string reason;  // empty: the process ends quietly by SIGPIPE
  };
  const failure failures[] = {
      {output::closed, false, "Bad file descriptor"},
      {output::full_device, false, "No space left on device"},
      {output::broken_pipe, true, "Broken pipe"},
      {output::broken_pipe, false, ""},
  };
  const std::vector<std::string> texts[] = {{"a"}, {std::string(100000, 'x')}};
  for (const char* program : {echo_args, echo_count}) {
    const std::string name = std::string(program).substr(
        std::string(program).rfind('/') + 1);
    for (const auto& f : failures) {
      for (const auto& operands : texts) {
        const result r = run(program, operands, {f.out, f.sigpipe_ignored});
        const std::string where = name + " " + std::to_string(int(f.out)) +
                                  " " + std::to_string(operands[0].size());
        EXPECT_EQ(r.out, "") << where;
        if (f.reason.empty()) {
          EXPECT_EQ(r.signal, SIGPIPE) << where;
          EXPECT_EQ(r.err, "") << where;
        } else {
          EXPECT_EQ(r.code, 1) << where;
          EXPECT_EQ(r.err, name + ": write error: " + f.reason + "\n") << where;
        }
      }
    }
  }
}

// The least address space, to 64 KiB, in which the program runs without
// operands: what it needs before the joined text takes any room.
static unsigned long long least_address_space(const char* program) {
  unsigned long long low = 1ULL << 20;
  unsigned long long high = 1ULL << 30;
  while (high - low > (64ULL << 10)) {
    const unsigned long long mid = low + (high - low) / 2;
    const result r = run(program, {}, {output::captured, false, mid});
    (r.code == 0 ? high : low) = mid;
  }
  return high;
}

TEST(programs, report_memory_exhaustion) {
#ifdef UNDER_ASAN
  GTEST_SKIP() << "AddressSanitizer reserves more address space than a limit "
                  "can leave";
#endif
  // 32 operands of the largest size the kernel takes, 4 MiB in all: they fit
  // on the stack, but another 4 MiB for their joined text will not.
  const std::vector<std::string> operands(32, std::string(131071, 'x'));
  for (const char* program : {echo_args, echo_count}) {
    const std::string name = std::string(program).substr(
        std::string(program).rfind('/') + 1);
    const unsigned long long limit =
        least_address_space(program) + (5ULL << 20);
    const result r = run(program, operands, {output::captured, false, limit});
    EXPECT_EQ(r.out, "") << name;
    EXPECT_EQ(r.err, name + ": memory exhausted\n") << name;
    EXPECT_EQ(r.code, 1) << name;
  }
}
