#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "argv.h"
#include "echo.h"

// Joins range(0) operands of 9 bytes each; the bytes per second reported are
// those of the joined text, so the cost per operand can be read off.
static void join(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  std::vector<std::string> args(n + 1, "123456789");
  std::vector<char*> argv = argv_of(args);
  const int argc = static_cast<int>(n + 1);
  std::size_t bytes = 0;
  for (auto _ : state) {
    const std::string text = echo(argc, argv.data());
    bytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(join)->Arg(0)->Arg(1)->Arg(3)->Arg(100)->Arg(60000);

BENCHMARK_MAIN();
