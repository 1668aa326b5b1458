// The event-log dump reads every record of the log once: its time grows
// linearly with the number of records.
#include <benchmark/benchmark.h>

#include "configuration_checks.h"
#include "report.h"
#include "sim.h"

namespace {

void BM_EventLogDump(benchmark::State& state) {
  sim::Reset();
  const DWORD records = static_cast<DWORD>(state.range(0));
  for (DWORD i = 0; i < records; ++i) {
    sim::EventRecord record;
    record.source = i % 100 == 0 ? "Corvane" : "Service Control Manager";
    record.timeGenerated = 1000000000 + i;
    record.strings = {"The service entered the running state.", "more"};
    sim::AddEvent(record);
  }
  for (auto _ : state) {
    sim::ClearConsole();
    DumpEventLog("Corvane");
  }
  state.SetComplexityN(state.range(0));
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_EventLogDump)->Arg(10000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->Complexity();

}  // namespace

