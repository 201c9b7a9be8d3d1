#include "run.h"

#include <fcntl.h>
#include <sys/personality.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <system_error>

#include "argv.h"

using file = std::unique_ptr<FILE, int (*)(FILE*)>;

[[noreturn]] static void fail(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// Every descriptor the parent opens is close-on-exec, so the child's program
// holds only what start() deliberately puts on 1 and 2.

static file owned(int fd, const char* mode) {
  file f(fdopen(fd, mode), &std::fclose);
  if (!f) {
    close(fd);
    throw std::runtime_error("fdopen failed");
  }
  return f;
}

static file temporary() {
  file f(std::tmpfile(), &std::fclose);
  if (!f || fcntl(fileno(f.get()), F_SETFD, FD_CLOEXEC) != 0) {
    fail("tmpfile");
  }
  return f;
}

static std::pair<file, file> channel() {
  int ends[2] = {-1, -1};
  if (pipe2(ends, O_CLOEXEC) != 0) {
    fail("pipe2");
  }
  file reader = owned(ends[0], "r");
  return {std::move(reader), owned(ends[1], "w")};
}

// The slave side of a new pty whose master is closed on return: the
// terminal of a session that has hung up, where every write fails.
static file hung_up_terminal() {
  const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    fail("posix_openpt");
  }
  const file master = owned(fd, "w");
  if (grantpt(fd) != 0 || unlockpt(fd) != 0) {
    fail("unlockpt");
  }
  const char* name = ptsname(fd);
  const int slave =
      name != nullptr ? open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
  if (slave < 0) {
    fail("opening the pty's slave");
  }
  return owned(slave, "w");
}

std::string unfit(const char* /*program*/,
                  const std::vector<std::string>& /*operands*/) {
  return {};
}

std::string no_terminal() {
  try {
    hung_up_terminal();
  } catch (const std::system_error& e) {
    return e.what();
  }
  return "";
}

// Reads a descriptor to its end.
static std::string drain(int fd) {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) {
      return text;
    }
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      fail("read");
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
}

// What the child wrote into a temporary file. The child moved the shared
// file offset to the end of what it wrote.
static std::string contents(FILE* f) {
  if (lseek(fileno(f), 0, SEEK_SET) != 0) {
    fail("lseek");
  }
  return drain(fileno(f));
}

// Tells the parent through the report pipe which step failed and why, then
// ends the child. Async-signal-safe, as all that runs between fork and exec.
[[noreturn]] static void refuse(int report, const char* step) {
  const int err = errno;
  if (write(report, &err, sizeof err) == sizeof err) {
    const ssize_t told = write(report, step, std::strlen(step));
    static_cast<void>(told);  // nobody is left to tell if this fails
  }
  _exit(127);
}

// Caps a resource of the calling process at bytes, or leaves it when bytes
// is 0. Async-signal-safe. The C library may type resources as an enum of its
// own.
template <typename Resource>
static bool limit(Resource resource, unsigned long long bytes) {
  const auto cap = static_cast<rlim_t>(bytes);
  const rlimit both{cap, cap};
  return bytes == 0 || setrlimit(resource, &both) == 0;
}

[[noreturn]] static void start(int report, const char* program, char** argv,
                               char** envp, const setup& how, int out,
                               int err) {
  if (dup2(err, 2) < 0) {
    refuse(report, "dup2 to standard error");
  }
  switch (how.out) {
    case output::captured:
    case output::broken_pipe:
    case output::hung_up_terminal:
      if (dup2(out, 1) < 0) {
        refuse(report, "dup2 to standard output");
      }
      break;
    case output::closed:
    case output::stalled_pipe:  // refused before the fork
      close(1);
      break;
    case output::full_device:
    case output::null_device: {
      const int fd =
          open(how.out == output::full_device ? "/dev/full" : "/dev/null",
               O_WRONLY | O_CLOEXEC);
      if (fd < 0 || dup2(fd, 1) < 0) {
        refuse(report, "opening a device as standard output");
      }
      break;
    }
  }
  if (signal(SIGPIPE, how.sigpipe_ignored ? SIG_IGN : SIG_DFL) == SIG_ERR) {
    refuse(report, "signal");
  }
  // The kernel otherwise moves the stack's start by up to 8 KiB each run,
  // and the same stack limit would pass one run and fail the next.
  if (how.stack != 0 && personality(ADDR_NO_RANDOMIZE) < 0) {
    refuse(report, "personality");
  }
  if (how.file_size != 0 && signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
    refuse(report, "signal");
  }
  // Under an address-space limit, a fixed stack limit keeps the layout the
  // same whatever the caller's is: an unlimited one picks the kernel's legacy
  // layout, and the least limit found would change with it.
  unsigned long long stack = how.stack;
  if (stack == 0 && how.address_space != 0) {
    stack = 64ULL << 20;
  }
  if (!limit(RLIMIT_STACK, stack) || !limit(RLIMIT_AS, how.address_space) ||
      !limit(RLIMIT_DATA, how.data) || !limit(RLIMIT_FSIZE, how.file_size)) {
    refuse(report, "setrlimit");
  }
  execve(program, argv, envp);
  refuse(report, "execve");
}

// What the child told through the report pipe: nothing when it reached its
// program; otherwise the errno and the name of the step that failed.
struct refusal {
  int err = 0;
  std::string step;
};

static refusal setup_failure(FILE* report) {
  const std::string said = drain(fileno(report));
  refusal r;
  if (said.size() >= sizeof r.err) {
    std::memcpy(&r.err, said.data(), sizeof r.err);
    r.step = said.substr(sizeof r.err);
  }
  return r;
}

result run(const char* program, const std::vector<std::string>& operands,
           const setup& how) {
  std::vector<std::string> args{program};
  args.insert(args.end(), operands.begin(), operands.end());
  std::vector<char*> argv = argv_of(args);
  // The caller's environment, then the entries the setup adds; built before
  // the fork, since the child may not allocate.
  std::vector<std::string> added = how.environment;
  std::vector<char*> envp = argv_of(added);
  std::size_t inherited = 0;
  while (environ[inherited] != nullptr) {
    ++inherited;
  }
  envp.insert(envp.begin(), environ, environ + inherited);
  // rlim_t is only 32 bits wide on some 32-bit systems.
  for (const unsigned long long limit :
       {how.address_space, how.data, how.stack, how.file_size}) {
    if (limit > std::numeric_limits<rlim_t>::max()) {
      throw std::out_of_range("a limit too large for rlim_t");
    }
  }

  if (how.out == output::stalled_pipe) {
    throw std::invalid_argument("a stalled pipe is a Windows output");
  }
  const file out = temporary();
  // Standard error goes through a pipe, which no file size limit binds.
  auto [err_reader, err_writer] = channel();
  auto [report_reader, report_writer] = channel();
  file failing(nullptr, &std::fclose);
  if (how.out == output::broken_pipe) {
    // The reader is gone before the child starts, so its first write fails.
    failing = channel().second;
  } else if (how.out == output::hung_up_terminal) {
    failing = hung_up_terminal();
  }
  const int child_out = failing ? fileno(failing.get()) : fileno(out.get());

  const pid_t pid = fork();
  if (pid == 0) {
    start(fileno(report_writer.get()), program, argv.data(), envp.data(), how,
          child_out, fileno(err_writer.get()));
  }
  if (pid < 0) {
    fail("fork");
  }
  // The child holds its own copies; the report pipe reaches its end once
  // the child has exec'd or exited.
  failing.reset();
  err_writer.reset();
  report_writer.reset();
  const refusal failure = setup_failure(report_reader.get());
  result r;
  r.err = drain(fileno(err_reader.get()));  // to its end, when the child exits

  int status = 0;
  while (waitpid(pid, &status, 0) != pid) {
    if (errno != EINTR) {
      fail("waitpid");
    }
  }
  if (!failure.step.empty()) {
    throw std::system_error(
        failure.err, std::generic_category(),
        "starting " + std::string(program) + ": " + failure.step);
  }

  r.out = contents(out.get());
  if (WIFEXITED(status)) {
    r.code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    r.signal = WTERMSIG(status);
  }
  return r;
}
