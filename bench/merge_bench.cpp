// The merge families on the realistic model. Every merge here does the same work when repeated
// on its own output, so each iteration merges into one working copy instead of copying afresh.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_fixture.h"
#include "model_editing/fabric_parameters.h"
#include "model_editing/system_parameter.h"
#include "native_runner/zone_allocation_files.h"
#include "parameter_generator.h"

namespace {

using json_text::Json;

void BM_ApplyFabricToModel(benchmark::State& state) {
  Json model = bench::model();
  const auto set = model_editing::build_fabric_parameter_set(bench::make_fabric_parameters(1));
  for (auto _ : state) {
    model_editing::apply_fabric_to_model(model, *set, std::nullopt,
                                         model_editing::ThermalBridgeRule::Independent);
  }
}
BENCHMARK(BM_ApplyFabricToModel);

// One system parameter key with a document generated for it.
void BM_ApplySystemParameter(benchmark::State& state, const std::string& key, Json parameter) {
  Json model = bench::model();
  for (auto _ : state) {
    benchmark::DoNotOptimize(model_editing::apply_system_parameter(model, key, parameter));
  }
}
BENCHMARK_CAPTURE(BM_ApplySystemParameter, tariff, "tariff", bench::make_tariff(1));
BENCHMARK_CAPTURE(BM_ApplySystemParameter, heat_source_wet, "heat_source_wet",
                  bench::make_heat_source_wet(1));
BENCHMARK_CAPTURE(BM_ApplySystemParameter, controls, "controls", bench::make_controls(1));
BENCHMARK_CAPTURE(BM_ApplySystemParameter, simplified_fabric, "simplified_fabric",
                  bench::make_fabric_parameters(1));

// Reads its allocation files every time, as the batch does for every combination.
void BM_ApplyZoneAllocations(benchmark::State& state) {
  Json model = bench::model();
  const Json names = Json::array({"Living Room", "kitchen"});
  const Json allocations = bench::make_zone_allocations(names);
  const auto dir = bench::base_params_dir();
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        native_runner::apply_zone_allocations(model, allocations, dir, native_runner::system_files()));
  }
}
BENCHMARK(BM_ApplyZoneAllocations);

}  // namespace
