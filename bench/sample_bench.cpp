// Choosing a sample from a parameter space far larger than could ever be enumerated.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "native_runner/combination_sample.h"

namespace {

using native_runner::SampleMethod;

// 20 lists of 10 values: 10^20 combinations, more than 64 bits can count.
void BM_ChooseSample(benchmark::State& state) {
  const std::vector<std::uint64_t> lengths(20, 10);
  const auto method = static_cast<SampleMethod>(state.range(1));
  const native_runner::SampleRequest request{static_cast<std::uint64_t>(state.range(0)), 1, method};
  for (auto _ : state) benchmark::DoNotOptimize(native_runner::choose_sample(lengths, request));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.SetLabel(std::string(native_runner::sample_method_name(method)));
}
BENCHMARK(BM_ChooseSample)
    ->Args({10'000, static_cast<int>(SampleMethod::Random)})
    ->Args({10'000, static_cast<int>(SampleMethod::Balanced)})
    ->Unit(benchmark::kMillisecond);

}  // namespace
