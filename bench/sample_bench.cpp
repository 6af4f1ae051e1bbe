// Choosing a sample from a parameter space far larger than could ever be enumerated.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "native_runner/combination_sample.h"

namespace {

using native_runner::SampleMethod;

// Arguments: N, the method, the number of lists and their length. 20 lists of 10 values are
// 10^20 combinations, 15 lists of 30 about 1.4 x 10^22: more than 64 bits can count.
void BM_ChooseSample(benchmark::State& state) {
  const std::vector<std::uint64_t> lengths(static_cast<std::size_t>(state.range(2)),
                                           static_cast<std::uint64_t>(state.range(3)));
  const auto method = static_cast<SampleMethod>(state.range(1));
  const native_runner::SampleRequest request{static_cast<std::uint64_t>(state.range(0)), 1, method};
  for (auto _ : state) benchmark::DoNotOptimize(native_runner::choose_sample(lengths, request));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
  state.SetLabel(std::string(native_runner::sample_method_name(method)));
}
constexpr int kRandom = static_cast<int>(SampleMethod::Random);
constexpr int kBalanced = static_cast<int>(SampleMethod::Balanced);
BENCHMARK(BM_ChooseSample)
    ->Args({10'000, kRandom, 20, 10})
    ->Args({10'000, kBalanced, 20, 10})
    ->Args({100, kRandom, 15, 30})
    ->Args({100, kBalanced, 15, 30})
    ->Unit(benchmark::kMillisecond);

}  // namespace
