#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <tuple>
#include <utility>

#include "run.h"

// A Windows program receives no argument vector, only one UTF-16 command
// line, which its C runtime splits again. So the operands are quoted here by
// that runtime's rules, and must be UTF-8 text.

// This binary's own output is binary from before main: CMake reads from it
// the list of the tests, and would keep the CR of a CRLF in each name, whose
// filter would then match no test.
static const int listed_in_binary = _setmode(_fileno(stdout), _O_BINARY);

using owned = std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)>;

[[noreturn]] static void fail(const char* what) {
  throw std::system_error(static_cast<int>(GetLastError()),
                          std::system_category(), what);
}

static owned own(HANDLE h, const char* what) {
  if (h == INVALID_HANDLE_VALUE || h == nullptr) {
    fail(what);
  }
  return {h, &CloseHandle};
}

static std::wstring wide(const std::string& text) {
  if (text.empty()) {
    return {};
  }
  const int size = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                    size, nullptr, 0);
  if (n == 0) {
    throw std::invalid_argument("not UTF-8, so not on a command line: " + text);
  }
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, w.data(), n);
  return w;
}

// Appends one argument as the C runtime reads it back: as it is where that
// is unambiguous, else in quotes. Backslashes are literal except in a run
// that ends at a quote, where each pair gives one and a lone one escapes
// the quote; so such a run is doubled, and a quote inside is escaped.
static void quote(std::wstring& line, const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += arg;
    return;
  }
  line += L'"';
  std::size_t slashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    line.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
    line += c;
    slashes = 0;
  }
  line.append(2 * slashes, L'\\');
  line += L'"';
}

// A file that the child inherits, deleted once the last handle closes.
static owned temporary() {
  wchar_t dir[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, dir) == 0 ||
      GetTempFileNameW(dir, L"ech", 0, name) == 0) {
    fail("naming a temporary file");
  }
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  return own(CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         &inherited, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                         nullptr),
             "creating a temporary file");
}

static owned device(const wchar_t* name) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  return own(
      CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inherited, OPEN_EXISTING, 0, nullptr),
      "opening a device");
}

// The write end of a pipe whose reader has gone.
static owned broken_pipe() {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE reader = nullptr;
  HANDLE writer = nullptr;
  if (CreatePipe(&reader, &writer, &inherited, 0) == 0) {
    fail("CreatePipe");
  }
  CloseHandle(reader);
  return own(writer, "CreatePipe");
}

// A non-blocking pipe whose buffer takes one byte: the writer's end, which
// the child inherits, and its reader, which reads only once the child has
// gone. A write there takes what fits and succeeds, short.
static std::pair<owned, owned> stalled_pipe() {
  static unsigned made = 0;
  const std::wstring name = L"\\\\.\\pipe\\echo-tests-" +
                            std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(made++);
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  owned writer = own(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_OUTBOUND,
                                      PIPE_TYPE_BYTE | PIPE_NOWAIT |
                                          PIPE_REJECT_REMOTE_CLIENTS,
                                      1, 1, 1, 0, &inherited),
                     "CreateNamedPipeW");
  owned reader = own(CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr),
                     "opening a pipe's reader");
  return {std::move(writer), std::move(reader)};
}

// Reads a file or pipe to its end.
static std::string drain(HANDLE file) {
  std::string text;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) != 0 && n != 0) {
    text.append(buffer, n);
  }
  return text;
}

// What the child wrote into a temporary file, which it shares the file
// position of.
static std::string contents(HANDLE file) {
  if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) ==
      INVALID_SET_FILE_POINTER) {
    fail("SetFilePointer");
  }
  return drain(file);
}

// The command line that starts program with these operands.
static std::wstring command_line(const char* program,
                                 const std::vector<std::string>& operands) {
  // The program's own name is read up to the next quote, without escapes.
  std::wstring line = L'"' + wide(program) + L'"';
  for (const auto& operand : operands) {
    line += L' ';
    quote(line, wide(operand));
  }
  return line;
}

// The most characters that a command line holds, its terminating null
// included.
constexpr std::size_t longest_line = 32767;

std::string unfit(const char* program,
                  const std::vector<std::string>& operands) {
  try {
    if (command_line(program, operands).size() >= longest_line) {
      return "longer than a command line";
    }
  } catch (const std::invalid_argument&) {
    return "not UTF-8 text";
  }
  return {};
}

std::string no_terminal() {
  return "a hung-up terminal is a POSIX pty, which Windows does not have";
}

result run(const char* program, const std::vector<std::string>& operands,
           const setup& how) {
  if (how.address_space != 0 || how.stack != 0 || how.file_size != 0 ||
      how.data != 0 || how.out == output::hung_up_terminal) {
    throw std::invalid_argument("no such limit or output on Windows");
  }
  const std::wstring path = wide(program);
  std::wstring line = command_line(program, operands);

  const owned out = temporary();
  const owned err = temporary();
  owned other(nullptr, &CloseHandle);
  owned reader(nullptr, &CloseHandle);
  HANDLE child_out = out.get();
  switch (how.out) {
    case output::closed:
      child_out = INVALID_HANDLE_VALUE;
      break;
    case output::full_device:
      // Wine shows the Linux machine's root as drive Z:.
      other = device(L"Z:\\dev\\full");
      break;
    case output::null_device:
      other = device(L"NUL");
      break;
    case output::broken_pipe:
      other = broken_pipe();
      break;
    case output::stalled_pipe:
      std::tie(other, reader) = stalled_pipe();
      break;
    default:
      break;
  }
  if (other) {
    child_out = other.get();
  }

  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = INVALID_HANDLE_VALUE;
  start.hStdOutput = child_out;
  start.hStdError = err.get();
  PROCESS_INFORMATION child{};
  // Under wine 8 (Debian 12), on a busy machine, CreateProcessW once failed
  // with ERROR_INTERNAL_ERROR before the program ran at all (wine 10, on
  // Debian 13, was not watched for it). A start that the system refused is
  // tried again, a few times; a program that did start is never run twice.
  for (int tries = 1;; ++tries) {
    if (CreateProcessW(path.c_str(), line.data(), nullptr, nullptr, TRUE, 0,
                       nullptr, nullptr, &start, &child) != 0) {
      break;
    }
    if (tries == 5) {
      fail(("starting " + std::string(program)).c_str());
    }
    Sleep(static_cast<DWORD>(100 * tries));
  }
  const owned process(child.hProcess, &CloseHandle);
  CloseHandle(child.hThread);
  other.reset();
  DWORD code = 0;
  if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      GetExitCodeProcess(process.get(), &code) == 0) {
    fail("waiting for the program");
  }
  result r;
  r.out = reader ? drain(reader.get()) : contents(out.get());
  r.err = contents(err.get());
  r.code = static_cast<int>(code);
  return r;
}
