// The micro-benchmarks run with the allocator set up as ensemble_probe sets it, so their figures
// describe the code as the program runs it.
#include <benchmark/benchmark.h>

#include "platform/memory_reuse.h"

int main(int argc, char** argv) {
  platform::keep_freed_memory_for_reuse();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
