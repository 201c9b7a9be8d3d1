// Throws through a function the compiler cannot see into, and catches: the
// unwinder must find the frames of a program linked as the release links.
#include <stdexcept>

[[gnu::noinline]] static void fail(int argc) {
  if (argc > 0) {
    throw std::runtime_error("caught");
  }
}

int main(int argc, char** /*argv*/) {
  try {
    fail(argc);
  } catch (const std::runtime_error&) {
    return 0;
  }
  return 1;
}
