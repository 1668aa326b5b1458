// The port section's wait on a machine of several addresses, on the
// simulation's virtual clock: a closed port answers after about 2 s on
// Windows (the stack sends its SYN again after the reset), and the section
// probes four ports on every address. Probed together they cost one such
// wait, whatever the number of addresses: `virtual_s` stays at 2 while
// `connects` grows with the addresses.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "network_checks.h"
#include "report.h"
#include "sim.h"

namespace {

void BM_PortSectionWait(benchmark::State& state) {
  const int addresses = static_cast<int>(state.range(0));
  double virtualSeconds = 0;
  size_t connects = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sim::Reset();
    MessageModule = NULL;
    std::vector<std::string> list;
    for (int i = 1; i <= addresses; ++i) list.push_back("10.20.30." + std::to_string(i));
    sim::AddHost(sim::kScriptedFqdn, list, {sim::kScriptedHostName});
    uint64_t before = sim::ElapsedMs();
    state.ResumeTiming();
    benchmark::DoNotOptimize(CheckPortAssignments(0, 0));
    state.PauseTiming();
    virtualSeconds = static_cast<double>(sim::ElapsedMs() - before) / 1000;
    connects = sim::ConnectAttempts().size();
    ReportDiscard();
    state.ResumeTiming();
  }
  state.counters["virtual_s"] = virtualSeconds;
  state.counters["connects"] = static_cast<double>(connects);
}

BENCHMARK(BM_PortSectionWait)->Arg(1)->Arg(3)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace
