// The registry dump visits every key and value of a tree once: its time grows
// linearly with the number of keys.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "configuration_checks.h"
#include "report.h"
#include "sim.h"

namespace {

const char kTree[] = "Software\\Velmora Software";

// `keys` keys below the tree in groups of 100, each key with two values.
void BuildTree(long keys) {
  for (long i = 0; i < keys; ++i) {
    std::string path = std::string(kTree) + "\\Group" + std::to_string(i / 100) + "\\Key" +
                       std::to_string(i % 100);
    sim::SetValue(HKEY_LOCAL_MACHINE, path, "Path", REG_SZ, "C:\\Program Files\\Corvane\\");
    sim::SetDword(HKEY_LOCAL_MACHINE, path, "Start", static_cast<DWORD>(i));
  }
}

void BM_RegistryDump(benchmark::State& state) {
  sim::Reset();
  BuildTree(state.range(0));
  for (auto _ : state) {
    sim::ClearConsole();
    DumpRegistryKey(HKEY_LOCAL_MACHINE, kTree);
  }
  state.SetComplexityN(state.range(0));
  state.counters["keys/s"] = benchmark::Counter(static_cast<double>(state.range(0)),
                                                benchmark::Counter::kIsIterationInvariantRate);
  // Each registry call is one request to the system: the dump's cost per key
  // (two values each, plus the group keys above them).
  int calls = 0;
  for (const auto& [api, count] : sim::CallCounts()) calls += api.compare(0, 3, "Reg") == 0 ? count : 0;
  state.counters["registry calls/key"] =
      static_cast<double>(calls) / static_cast<double>(state.iterations() * state.range(0));
}
BENCHMARK(BM_RegistryDump)->Arg(10000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->Complexity();

// All keys side by side under one parent: enumeration by index must not
// walk the siblings from the first each time.
void BM_RegistryDumpWide(benchmark::State& state) {
  sim::Reset();
  for (long i = 0; i < state.range(0); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\Key%06ld", i);  // created in enumeration order
    sim::SetDword(HKEY_LOCAL_MACHINE, std::string(kTree) + name, "Start", 1);
  }
  for (auto _ : state) {
    sim::ClearConsole();
    DumpRegistryKey(HKEY_LOCAL_MACHINE, kTree);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RegistryDumpWide)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
