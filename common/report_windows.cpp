#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "report_system.h"

#ifdef __MINGW32__
// mingw-w64's start-up code can expand * and ? in the operands as file
// names; the operands are text, given exactly. (MSVC's runtime expands
// nothing unless linked with setargv.obj.)
extern "C" {
int _dowildcard = 0;
}
#endif

// Whether standard output is a console (not a pipe, a file or NUL, which is
// a character device too).
static bool on_console() {
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(1));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

// The longest output a command line can give: 32,766 UTF-16 units, each at
// most 3 bytes of UTF-8 (a surrogate pair, 2 units, makes 4), and the LF.
constexpr std::size_t longest_output = 32766 * 3 + 1;

void ready_streams() {
  // In text mode the C runtime writes each LF as CRLF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // On a console the C runtime leaves standard output unbuffered and writes
  // each byte apart, which splits a UTF-8 character across writes; a
  // console that does not join them again shows garbage (seen under wine 8:
  // one WriteFile per byte). It writes a chunk at least as long as its
  // buffer straight through, so the buffer holds the longest output whole,
  // and each flush writes once. Pipes and files keep the runtime's own
  // buffer.
  static char buffer[longest_output + 1];
  if (on_console()) {
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
  }
}

void write_line(const char* const* texts, std::size_t count) {
  // Windows has no gathering write for a pipe or a console, so the parts
  // are joined on the stack first; a report is one short line.
  char line[256];
  std::size_t size = 0;
  for (std::size_t i = 0; i < count; ++i) {
    for (const char* c = texts[i]; *c != '\0' && size < sizeof line; ++c) {
      line[size++] = *c;
    }
  }
  if (size > 0 && line[size - 1] != '\n') {
    line[size - 1] = '\n';  // cut short, still one line
  }
  const int written = _write(2, line, static_cast<unsigned>(size));
  static_cast<void>(written);  // nobody is left to tell if this fails too
}

const char* failure_reason() {
  // The C runtime turns the system's error code into errno by a table that
  // lacks some codes, and gives EINVAL for those: a pipe whose reader has
  // gone is one. It keeps the system's code in _doserrno.
  switch (_doserrno) {
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
    case ERROR_PIPE_NOT_CONNECTED:
      return "Broken pipe";
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return "No space left on device";
    case ERROR_INVALID_HANDLE:
      return "Bad file descriptor";
    default:
      break;
  }
  // The C runtime's own texts differ from Linux's for some of these.
  // EINVAL is also what it gives for a system error code that its table
  // lacks, and for a write that succeeded short with no code at all (a full
  // non-blocking pipe): seen with msvcrt under wine 8, while Windows's
  // own may leave errno at 0. Only the system's own invalid parameter is
  // that reason; any other is no reason at all.
  switch (errno) {
    case 0:
      return nullptr;
    case EBADF:
      return "Bad file descriptor";
    case ENOSPC:
      return "No space left on device";
    case EPIPE:
      return "Broken pipe";
    case EIO:
      return "Input/output error";
    case EACCES:
      return "Permission denied";
    case ENOMEM:
      return "Cannot allocate memory";
    case EINVAL:
      return _doserrno == ERROR_INVALID_PARAMETER ? "Invalid argument"
                                                  : nullptr;
    default:
      return std::strerror(errno);
  }
}

void clear_failure() {
  errno = 0;
  _doserrno = 0;
  // A write that succeeds short sets no error code, and the C runtime then
  // reads whatever code was left.
  SetLastError(ERROR_SUCCESS);
}

bool close_output() { return _close(1) == 0; }

void quit(int status) { std::_Exit(status); }
