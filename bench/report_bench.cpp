// Appending to the pending report costs amortised constant time per entry:
// 10^4, 10^5 and 10^6 entries should scale linearly, like writing the same
// bytes with fwrite.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "report.h"
#include "sim.h"

namespace {

const char kEntryFormat[] = "Drive %c: %d MB free of %d MB (entry %d)\n";

void BM_ReportAdd(benchmark::State& state) {
  sim::Reset();
  const int entries = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < entries; ++i) ReportAdd(kEntryFormat, 'C' + i % 20, i % 4096, 4096, i);
    benchmark::DoNotOptimize(PendingReport);
    state.PauseTiming();
    ReportDiscard();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * entries);
  state.SetComplexityN(entries);
}

void BM_FwriteSameBytes(benchmark::State& state) {
  std::FILE* sink = std::fopen("/dev/null", "wb");
  const int entries = static_cast<int>(state.range(0));
  char entry[1024];
  for (auto _ : state) {
    for (int i = 0; i < entries; ++i) {
      int length = wsprintfA(entry, kEntryFormat, 'C' + i % 20, i % 4096, 4096, i);
      std::fwrite(entry, 1, static_cast<size_t>(length), sink);
    }
  }
  std::fclose(sink);
  state.SetItemsProcessed(state.iterations() * entries);
  state.SetComplexityN(entries);
}

BENCHMARK(BM_ReportAdd)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK(BM_FwriteSameBytes)
    ->RangeMultiplier(10)
    ->Range(10000, 1000000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace

BENCHMARK_MAIN();
