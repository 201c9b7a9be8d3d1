#include "report.h"

#include <cstdio>
#include <cstring>

int write_error(const char* name, int err) {
  // stderr is unbuffered, so the whole line goes out in one write.
  if (err != 0) {
    std::fprintf(stderr, "%s: write error: %s\n", name, std::strerror(err));
  } else {
    std::fprintf(stderr, "%s: write error\n", name);
  }
  return 1;
}

int memory_exhausted(const char* name) {
  std::fprintf(stderr, "%s: memory exhausted\n", name);
  return 1;
}
