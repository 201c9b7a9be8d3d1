#pragma once

#include <string>
#include <vector>

// Where a child's standard output goes. A hung-up terminal is a pty whose
// master side is closed before the child starts. A stalled pipe (Windows
// only) is a non-blocking pipe that holds one byte, whose reader stays but
// reads nothing until the child has gone: a write then succeeds short.
enum class output {
  captured,
  closed,
  full_device,
  null_device,
  broken_pipe,
  hung_up_terminal,
  stalled_pipe
};

struct setup {
  output out = output::captured;
  bool sigpipe_ignored = false;
  // When not 0, the child's address space is capped at this many bytes, and
  // its stack limit raised to 64 MiB so that the largest argument list that
  // the kernel takes (6 MiB) fits.
  unsigned long long address_space = 0;
  // When not 0, the child's stack is capped at this many bytes, and its start
  // is not randomised, so that a limit gives the same result every run.
  unsigned long long stack = 0;
  // When not 0, the child may write no file beyond this many bytes, and
  // ignores SIGXFSZ: a write that reaches the limit writes what fits, and the
  // next fails with EFBIG.
  unsigned long long file_size = 0;
  // When not 0, the child's data segment and heap are capped at this many
  // bytes (RLIMIT_DATA).
  unsigned long long data = 0;
  // NAME=VALUE entries that the child gets besides the caller's environment.
  // The initializer keeps -Wmissing-field-initializers quiet where a setup
  // is written as a brace list that stops short of this member; clang-tidy
  // 19 calls it redundant.
  // NOLINTNEXTLINE(readability-redundant-member-init)
  std::vector<std::string> environment = {};
};

struct result {
  std::string out;
  std::string err;
  int code = -1;  // exit status, or -1 when a signal ended the child
  int signal = 0;
};

// Runs program with exactly these operands after argv[0] (no shell between),
// waits for it and returns what it wrote and how it ended. A step that fails
// before the program starts throws std::system_error with that step's errno.
result run(const char* program, const std::vector<std::string>& operands,
           const setup& how = {});

// Why these operands cannot be passed to program here, or nothing. A Windows
// command line is UTF-16 text of at most 32,767 characters.
std::string unfit(const char* program,
                  const std::vector<std::string>& operands);

// Why no terminal can be opened here (where /dev/pts is not mounted, as in a
// minimal chroot), or nothing when one can.
std::string no_terminal();
