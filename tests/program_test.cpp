#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#include "cases.h"
#include "run.h"

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ASAN 1
#endif
#endif

#ifndef SIGPIPE
// Windows has none, and no row there expects it.
#define SIGPIPE 13
#endif

static std::string report(std::size_t n) {
  return "Count of output: " + std::to_string(n) + "\n";
}

// A program under test: where it is, and what it writes for a joined text.
struct program {
  std::string path;
  std::string name;
  std::string (*writes)(const std::string& joined);
};

// The program of that name in ECHO_TOOLS_PROGRAM_DIR where it is set, else in
// this build.
static program named(const std::string& name,
                     std::string (*writes)(const std::string&)) {
  const char* given = std::getenv("ECHO_TOOLS_PROGRAM_DIR");
  std::string dir = given != nullptr && *given != '\0' ? given : PROGRAM_DIR;
#ifdef _WIN32
  // A folder of the Linux machine that runs wine, which shows its root as
  // drive Z:.
  if (dir.front() == '/') {
    dir.insert(0, "Z:");
  }
#endif
  return {dir + "/" + name + EXECUTABLE_SUFFIX, name, writes};
}

// Each program's own row. Every program that the build makes needs one
// (programs.each_has_its_row).
static const program programs[] = {
    named("echo_args", [](const std::string& joined) { return joined + "\n"; }),
    named("echo_count",
          [](const std::string& joined) { return report(joined.size()); }),
};
static const program& echo_args = programs[0];
static const program& echo_count = programs[1];

TEST(programs, each_has_its_row) {
  // PROGRAMS: the names of the programs that the build makes, comma-separated.
  for (std::string_view rest = PROGRAMS; !rest.empty();) {
    const std::size_t end = std::min(rest.find(','), rest.size());
    const std::string_view name = rest.substr(0, end);
    EXPECT_TRUE(std::any_of(std::begin(programs), std::end(programs),
                            [&](const program& p) { return p.name == name; }))
        << name << " has no row in tests/program_test.cpp";
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
}

// A cross build's tests run under an emulator (qemu-user), and so must the
// programs they start. EMULATOR holds its words, separated by spaces,
// or nothing when the tests run natively.
static const char* const emulator = EMULATOR;
static const bool emulated = *emulator != '\0';

// The words that start p: the emulator's, if any, then p itself.
static std::vector<std::string> command(const program& p) {
  std::vector<std::string> words;
  for (std::string_view rest = emulator; !rest.empty();) {
    const std::size_t end = std::min(rest.find(' '), rest.size());
    words.emplace_back(rest.substr(0, end));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  words.emplace_back(p.path);
  return words;
}

// Runs p with exactly these operands after its name.
static result run(const program& p, const std::vector<std::string>& operands,
                  const setup& how = {}) {
  std::vector<std::string> args = command(p);
  const std::string start = args.front();
  args.erase(args.begin());
  args.insert(args.end(), operands.begin(), operands.end());
  return run(start.c_str(), args, how);
}

static void expect(const result& got, const result& want,
                   const std::string& where) {
  EXPECT_EQ(got.out, want.out) << where;
  EXPECT_EQ(got.err, want.err) << where;
  EXPECT_EQ(got.code, want.code) << where;
  EXPECT_EQ(got.signal, want.signal) << where;
}

// Runs p on each shared case that can exist here: a case whose operands no
// command line here can carry is no row of the table. Says how many ran.
static void expect_cases(const program& p) {
  const std::vector<join_case> cases = join_cases();
  std::size_t ran = 0;
  std::string left_out;
  for (const auto& c : cases) {
    if (const std::string why = unfit(p.path.c_str(), c.operands);
        !why.empty()) {
      left_out += " " + c.name + " (" + why + ")";
      continue;
    }
    expect(run(p, c.operands), {p.writes(c.joined), "", 0}, c.name);
    ++ran;
  }
  std::cout << ran << " of the " << cases.size() << " shared cases ran"
            << (left_out.empty() ? "" : "; not rows here:") << left_out << "\n";
  EXPECT_NE(ran, 0U) << "no shared case can be given here";
}

TEST(echo_args, writes_the_joined_operands_and_a_line_feed) {
  expect_cases(echo_args);
}

TEST(echo_count, writes_only_the_report_line) { expect_cases(echo_count); }

// What a command line must quote or escape, and words that shells or cmd
// act on, each alone and all in one run: on Windows each goes through a
// command line that the harness builds and the program's C runtime splits.
TEST(echo_args, gets_each_operand_exactly_as_given) {
  // A row for each kind: empty and blank; quotes; backslashes at the end and
  // before a quote; what shells act on; what cmd's echo takes; not ASCII.
  // clang-format off
  const std::vector<std::string> awkward = {
      "", " ", "a b", "\t", "\n",
      "\"", "\"\"", "a\"b", "\" \"",
      R"(\)", R"(a\)", R"(a\\)", R"(a b\)",
      R"(\")", R"(a\\"b)", R"(\\\")",
      "* ? % ^ & | < > ( ) !", "*", "?", "%PATH%",
      "/?", "ON", "off",
      "caf\xc3\xa9", "\xe6\x97\xa5\xe6\x9c\xac", "\xf0\x9f\x98\x80"};
  // clang-format on
  std::string all;
  for (const auto& a : awkward) {
    expect(run(echo_args, {a}), {a + "\n", "", 0}, "[" + a + "]");
    all += (&a == &awkward.front() ? "" : " ") + a;
  }
  expect(run(echo_args, awkward), {all + "\n", "", 0}, "all at once");
}

// Every list of up to three operands drawn from an empty one, a space and a
// letter: empty operands and spaces first, last, alone and side by side,
// where one program alone could lose or add a separator.
TEST(echo_count, counts_what_echo_args_writes_before_its_line_feed) {
  std::vector<std::vector<std::string>> lists(1);  // the empty list
  // Each list in turn is extended by each operand, so shorter lists come
  // first.
  for (std::size_t i = 0; lists.size() < 1 + 3 + 9 + 27; ++i) {
    for (const char* operand : {"", " ", "a"}) {
      std::vector<std::string> longer = lists[i];
      longer.emplace_back(operand);
      lists.push_back(std::move(longer));
    }
  }
  for (const auto& args : lists) {
    const result written = run(echo_args, args);
    ASSERT_EQ(written.code, 0);
    ASSERT_EQ(written.out.back(), '\n');
    EXPECT_EQ(run(echo_count, args).out, report(written.out.size() - 1))
        << args.size() << " operands, which echo_args wrote as \""
        << written.out.substr(0, written.out.size() - 1) << '"';
  }
}

// Each failure is tried with a short text, which waits in the stream's buffer
// until the flush, and with one too long to buffer, which is written at once.
struct failure {
  output out;
  bool sigpipe_ignored;
  // Null: the process ends quietly by SIGPIPE; empty: the report gives no
  // reason.
  const char* reason;
  // When not 0, the output takes this many bytes: they get out, and the
  // write of the rest fails. A captured file is limited to them; a stalled
  // pipe holds one byte of itself.
  std::size_t taken = 0;
};

static void expect_failures(const std::vector<failure>& failures) {
  // Still within a Windows command line.
  const std::vector<std::string> texts[] = {{"a"}, {std::string(30000, 'x')}};
  for (const auto& p : programs) {
    for (const auto& f : failures) {
      const std::string reason = f.reason != nullptr && *f.reason != '\0'
                                     ? std::string(": ") + f.reason
                                     : "";
      result want =
          f.reason != nullptr
              ? result{"", p.name + ": write error" + reason + "\n", 1}
              : result{"", "", -1, SIGPIPE};
      for (const auto& operands : texts) {
        const std::string all = p.writes(operands[0]);
        want.out = all.substr(0, f.taken);
        const std::size_t file_size = f.out == output::captured ? f.taken : 0;
        const result got =
            run(p, operands, {f.out, f.sigpipe_ignored, 0, 0, file_size});
        // A write to a stalled pipe takes what fits, or under wine 8 all of
        // it or nothing: a prefix of what it holds gets out.
        if (f.out == output::stalled_pipe && got.out.size() < want.out.size() &&
            all.compare(0, got.out.size(), got.out) == 0) {
          want.out = got.out;
        }
        expect(got, want,
               p.name + " output " + std::to_string(int(f.out)) + ", " +
                   std::to_string(operands[0].size()) + " bytes");
      }
    }
  }
}

// Whether a dynamically linked program started here with descriptor 1 closed
// finds it open: a preloaded library (libfaketime, for one) may open a file,
// which takes the lowest free descriptor.
static bool closed_output_is_reopened() {
#ifdef _WIN32
  return false;
#endif
  return run("/bin/sh", {"-c", "exec 3>&1 2>/dev/null"}, {output::closed})
             .code == 0;
}

TEST(programs, report_a_failed_write) {
#ifdef _WIN32
  // Windows has no SIGPIPE, so a gone reader is always reported, and no
  // limit on the size of a file. A stalled pipe takes one byte, and the
  // write of the rest succeeds short with no error code: the C runtime then
  // gives EINVAL (msvcrt under wine 8), which is no reason.
  expect_failures({{output::full_device, false, "No space left on device"},
                   {output::broken_pipe, false, "Broken pipe"},
                   {output::closed, false, "Bad file descriptor"},
                   {output::stalled_pipe, false, "", 1}});
  return;
#endif
  std::vector<failure> failures = {
      {output::full_device, false, "No space left on device"},
      {output::broken_pipe, true, "Broken pipe"},
      {output::broken_pipe, false, nullptr},
      // A write succeeds in part before the next one fails: what got out
      // stays, and the reason is the failed write's.
      {output::captured, false, "File too large", 1},
  };
  const bool reopened = closed_output_is_reopened();
  if (!reopened) {
    failures.push_back({output::closed, false, "Bad file descriptor"});
  }
  expect_failures(failures);
  if (reopened) {
    GTEST_SKIP() << "a library preloaded here opens descriptor 1 when it is "
                    "closed, so the closed-output rows were skipped";
  }
}

// The C library flushes a terminal at each line feed, and a failure there
// leaves the write that caused it looking successful.
TEST(programs, report_a_failed_write_to_a_hung_up_terminal) {
  const std::string no_tty = no_terminal();
  if (!no_tty.empty()) {
    GTEST_SKIP() << "no terminal here: " << no_tty;
  }
  expect_failures({{output::hung_up_terminal, false, "Input/output error"}});
}

// Some filesystems (NFS, quotas) report a lost write only at close. strace
// makes the close of standard output fail, and only that one (-P), since
// the dynamic loader checks its own closes; LeakSanitizer cannot run under
// ptrace, so it is off there.
TEST(programs, report_a_failed_close) {
  const std::vector<std::string> fail_close{"-o", "/dev/null",
                                            "-E", "ASAN_OPTIONS=detect_leaks=0",
                                            "-P", "/dev/null",
                                            "-e", "trace=close",
                                            "-e", "inject=close:error=EIO"};
#ifdef _WIN32
  GTEST_SKIP() << "strace, which makes the close fail, is Linux's";
#endif
  if (*STRACE_PATH == '\0') {
    GTEST_SKIP() << "strace is not installed";
  }
  if (const result probe = run(STRACE_PATH, {"-o", "/dev/null", "/bin/true"});
      probe.code != 0) {
    GTEST_SKIP() << "strace cannot trace here (exit status " << probe.code
                 << ", signal " << probe.signal << "): " << probe.err;
  }
  for (const auto& p : programs) {
    std::vector<std::string> args = fail_close;
    const std::vector<std::string> words = command(p);
    args.insert(args.end(), words.begin(), words.end());
    args.emplace_back("a");
    expect(run(STRACE_PATH, args, {output::null_device}),
           {"", p.name + ": write error: Input/output error\n", 1}, p.name);
  }
}

// The least limit in (low, high], to within step, for which runs(limit)
// holds, given that it holds for high and for every limit above the least.
template <typename F>
static unsigned long long least(unsigned long long low, unsigned long long high,
                                unsigned long long step, const F& runs) {
  while (high - low > step) {
    const unsigned long long mid = low + (high - low) / 2;
    (runs(mid) ? high : low) = mid;
  }
  return high;
}

// The memory limits that the tests set.
enum class cap { address_space, data };

static setup capped(cap which, unsigned long long bytes,
                    const std::vector<std::string>& environment = {}) {
  setup how;
  (which == cap::data ? how.data : how.address_space) = bytes;
  how.environment = environment;
  return how;
}

// The least limit of that kind, to step, in which the program runs without
// operands, given these entries besides the caller's environment: what it
// needs before the joined text takes any room.
static unsigned long long least_limit(
    const program& p, cap which, unsigned long long step,
    const std::vector<std::string>& environment = {}) {
  return least(1ULL << 16, 1ULL << 30, step, [&](auto bytes) {
    return run(p, {}, capped(which, bytes, environment)).code == 0;
  });
}

// A report must not need more than the work it reports on: with no more
// stack, to the page, than the program needs to write to /dev/null, it
// still reports that /dev/full is full.
TEST(programs, report_a_failed_write_within_the_stack_of_a_run) {
  if (emulated) {
    GTEST_SKIP() << "the stack limit would bind the emulator, not the program";
  }
#ifdef _WIN32
  GTEST_SKIP() << "a Windows program's stack is sized in its executable, "
                  "not limited by its parent";
#endif
  // A sandbox's seccomp filter (Docker's, for one) may refuse to fix where
  // the stack starts, without which the limit cannot be found.
  try {
    run(echo_args, {}, {output::null_device, false, 0, 8ULL << 20});
  } catch (const std::runtime_error& e) {
    if (std::string(e.what()).find(": personality: ") == std::string::npos) {
      throw;
    }
    GTEST_SKIP() << e.what();
  }
  for (const auto& p : programs) {
    const unsigned long long stack =
        least(0, 8ULL << 20, 4096, [&](auto limit) {
          try {
            return run(p, {"a"}, {output::null_device, false, 0, limit}).code ==
                   0;
          } catch (const std::system_error& e) {
            // Below the room that the arguments and the caller's environment
            // take, the program cannot even start.
            if (e.code() != std::errc::argument_list_too_long) {
              throw;
            }
            return false;
          }
        });
    expect(run(p, {"a"}, {output::full_device, false, 0, stack}),
           {"", p.name + ": write error: No space left on device\n", 1},
           p.name + " with a stack of " + std::to_string(stack) + " bytes");
  }
}

// Why a memory limit cannot bind the program alone here, if it cannot.
static std::string memory_limits_unsupported() {
#ifdef UNDER_ASAN
  return "AddressSanitizer reserves more address space than a limit can leave";
#elif defined(_WIN32)
  return "the limits are set with setrlimit, which Windows does not have";
#else
  if (emulated) {
    return "the emulator does not apply the program's limits";
  }
  // libfaketime, as reprotest preloads it, waits forever in its start-up
  // when memory runs out.
  const char* preload = std::getenv("LD_PRELOAD");
  if (preload != nullptr && *preload != '\0') {
    return std::string("the limits would bind a preloaded library too: ") +
           preload;
  }
  return {};
#endif
}

TEST(programs, report_memory_exhaustion) {
  if (const std::string why = memory_limits_unsupported(); !why.empty()) {
    GTEST_SKIP() << why;
  }
  // 32 operands of the largest size the kernel takes, 4 MiB in all: they fit
  // on the stack within the limit, but another 4 MiB for their joined text
  // will not.
  const std::vector<std::string> operands(32, std::string(131071, 'x'));
  for (const auto& p : programs) {
    const unsigned long long limit =
        least_limit(p, cap::address_space, 64ULL << 10) + (5ULL << 20);
    expect(run(p, operands, {output::captured, false, limit}),
           {"", p.name + ": memory exhausted\n", 1}, p.name);
  }
}

// Memory that runs out anywhere in a run, not only while joining: from the
// least limit at which a program starts, up 320 KiB in steps of a page, with
// an address-space limit and a data limit, each run writes its whole output
// or reports the exhaustion, and never aborts. The operand is larger than the
// heap has left after start-up, so that the joining runs out near the bottom
// in a static build too; a small one always fitted there.
// Below that limit the C library cannot start the program, and none of our
// code has run: it reports that it "cannot allocate TLS" (status 127), or, a
// little higher, glibc 2.36 linked statically dies of SIGSEGV in its own
// report that it "cannot create search path array" (its fatal_error reads
// a null object name). The limit is therefore found with the sweep's start:
// the operand's bytes go into the environment instead, so that the kernel
// gives the stack the same size and the start-up the same room. Without them
// the limit is a page short wherever the operand takes the stack over a page
// boundary, which the size of the caller's environment decides.
TEST(programs, report_memory_exhaustion_near_the_least_limit) {
  if (const std::string why = memory_limits_unsupported(); !why.empty()) {
    GTEST_SKIP() << why;
  }
  const std::string operand(100000, 'x');
  const std::string name = "ECHO_TOOLS_UNREAD=";
  const std::vector<std::string> in_its_place{
      name + std::string(operand.size() - name.size(), 'x')};
  for (const auto& p : programs) {
    for (const cap which : {cap::address_space, cap::data}) {
      const unsigned long long least =
          least_limit(p, which, 4096, in_its_place);
      for (unsigned long long bytes = least; bytes <= least + (320 << 10);
           bytes += 4096) {
        const result got = run(p, {operand}, capped(which, bytes));
        const std::string where =
            p.name + " within " + std::to_string(bytes) +
            (which == cap::data ? " B of data" : " B of address space");
        if (got.code == 0) {
          expect(got, {p.writes(operand), "", 0}, where);
        } else {
          expect(got, {"", p.name + ": memory exhausted\n", 1}, where);
        }
      }
    }
  }
}
