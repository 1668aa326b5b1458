// The registry delete keeps each level's key open and takes index 0 again
// after each deleted child: registry calls per key stay constant (the counter
// below), so the time grows linearly with the number of keys. The keys come
// in groups of 100: the simulation shifts a key's whole list of subkeys on
// each deletion, which on one wide key would measure that instead.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "registry_tree.h"
#include "sim.h"

namespace {

const char kProductTree[] = "SOFTWARE\\Velmora Software\\Corvane";

// `keys` keys below the product key, each with the three values of the Wine
// benchmark: a string, a DWORD and 8 bytes of binary.
void BuildProductKey(long keys) {
  std::string product = std::string(kProductTree) + "\\1.5";
  sim::SetValue(HKEY_LOCAL_MACHINE, product, "InstallationDirectory", REG_SZ,
                "C:\\Program Files\\Corvane\\");
  for (long i = 0; i < keys; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "\\Group%04ld\\Key%02ld", i / 100, i % 100);
    std::string path = product + name;
    sim::SetValue(HKEY_LOCAL_MACHINE, path, "Blob", REG_BINARY, std::string(8, '\x01'));
    sim::SetDword(HKEY_LOCAL_MACHINE, path, "Count", static_cast<DWORD>(i));
    sim::SetValue(HKEY_LOCAL_MACHINE, path, "Path", REG_SZ, "C:\\Program Files\\Corvane\\Jobs");
  }
}

void BM_DeleteRegistryTree(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    sim::Reset();
    BuildProductKey(state.range(0));
    state.ResumeTiming();
    benchmark::DoNotOptimize(DeleteRegistryTree(HKEY_LOCAL_MACHINE, kProductTree));
  }
  state.SetComplexityN(state.range(0));
  state.counters["registry calls/key"] =
      static_cast<double>(sim::CallCount("RegOpenKeyExA") + sim::CallCount("RegEnumKeyExA") +
                          sim::CallCount("RegDeleteKeyA") + sim::CallCount("RegCloseKey")) /
      static_cast<double>(state.range(0));
}
BENCHMARK(BM_DeleteRegistryTree)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace
