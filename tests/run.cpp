#include "run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "argv.h"

using file = std::unique_ptr<FILE, int (*)(FILE*)>;

static file temporary() {
  file f(std::tmpfile(), &std::fclose);
  if (!f) {
    throw std::runtime_error("tmpfile failed");
  }
  return f;
}

static std::string contents(FILE* f) {
  std::string text;
  char buffer[65536];
  ssize_t n = 0;
  off_t at = 0;
  while ((n = pread(fileno(f), buffer, sizeof buffer, at)) > 0) {
    text.append(buffer, static_cast<std::size_t>(n));
    at += n;
  }
  return text;
}

// Runs in the forked child: only async-signal-safe calls until exec.
[[noreturn]] static void start(const char* program, char** argv,
                               const setup& how, int out, int err) {
  dup2(err, 2);
  switch (how.out) {
    case output::captured:
    case output::broken_pipe:
      dup2(out, 1);
      break;
    case output::closed:
      close(1);
      break;
    case output::full_device: {
      const int fd = open("/dev/full", O_WRONLY);
      dup2(fd, 1);
      close(fd);
      break;
    }
  }
  signal(SIGPIPE, how.sigpipe_ignored ? SIG_IGN : SIG_DFL);
  if (how.address_space != 0) {
    const rlimit stack{64UL << 20, 64UL << 20};
    const rlimit as{how.address_space, how.address_space};
    if (setrlimit(RLIMIT_STACK, &stack) != 0 ||
        setrlimit(RLIMIT_AS, &as) != 0) {
      _exit(126);
    }
  }
  execv(program, argv);
  _exit(127);
}

result run(const char* program, const std::vector<std::string>& operands,
           const setup& how) {
  std::vector<std::string> args{program};
  args.insert(args.end(), operands.begin(), operands.end());
  std::vector<char*> argv = argv_of(args);

  const file out = temporary();
  const file err = temporary();
  int child_out = fileno(out.get());
  int pipe_ends[2] = {-1, -1};
  if (how.out == output::broken_pipe) {
    // The reader is gone before the child starts, so its first write fails.
    if (pipe(pipe_ends) != 0) {
      throw std::runtime_error("pipe failed");
    }
    close(pipe_ends[0]);
    child_out = pipe_ends[1];
  }

  const pid_t pid = fork();
  if (pid == 0) {
    start(program, argv.data(), how, child_out, fileno(err.get()));
  }
  if (pipe_ends[1] != -1) {
    close(pipe_ends[1]);
  }
  if (pid < 0) {
    throw std::runtime_error("fork failed");
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) {
    throw std::runtime_error("waitpid failed");
  }

  result r;
  r.out = contents(out.get());
  r.err = contents(err.get());
  if (WIFEXITED(status)) {
    r.code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    r.signal = WTERMSIG(status);
  }
  return r;
}
