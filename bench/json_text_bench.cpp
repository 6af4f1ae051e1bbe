// Reading, parsing, copying and writing one realistic model document (about 250 KB).
#include <benchmark/benchmark.h>

#include <memory>

#include "bench_fixture.h"
#include "json/json_file.h"
#include "json/json_reader.h"
#include "json/json_writer.h"
#include "common/utf8.h"
#include "platform/file_system.h"

namespace {

void count_bytes(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(bench::model_text().size()));
}

void BM_ReadFile(benchmark::State& state) {
  const auto path = bench::base_model_path();
  for (auto _ : state) benchmark::DoNotOptimize(platform::read_file(path));
  count_bytes(state);
}
BENCHMARK(BM_ReadFile);

void BM_ValidateUtf8(benchmark::State& state) {
  const std::string& text = bench::model_text();
  for (auto _ : state) benchmark::DoNotOptimize(common::is_valid_utf8(text));
  count_bytes(state);
}
BENCHMARK(BM_ValidateUtf8);

void BM_Parse(benchmark::State& state) {
  const std::string& text = bench::model_text();
  for (auto _ : state) benchmark::DoNotOptimize(json_text::parse_json(text));
  count_bytes(state);
}
BENCHMARK(BM_Parse);

// The library's own parser, as a yardstick; its number handling differs from ours.
void BM_ParseLibraryReference(benchmark::State& state) {
  const std::string& text = bench::model_text();
  for (auto _ : state) benchmark::DoNotOptimize(json_text::Json::parse(text));
  count_bytes(state);
}
BENCHMARK(BM_ParseLibraryReference);

void BM_ReadJsonFile(benchmark::State& state) {
  const auto path = bench::base_model_path();
  for (auto _ : state) benchmark::DoNotOptimize(json_text::read_json_file(path));
  count_bytes(state);
}
BENCHMARK(BM_ReadJsonFile);

void BM_Copy(benchmark::State& state) {
  const auto& model = bench::model();
  for (auto _ : state) {
    json_text::Json copy = model;
    benchmark::DoNotOptimize(copy);
  }
  count_bytes(state);
}
BENCHMARK(BM_Copy);

void BM_Destroy(benchmark::State& state) {
  const auto& model = bench::model();
  for (auto _ : state) {
    state.PauseTiming();
    auto copy = std::make_unique<json_text::Json>(model);
    state.ResumeTiming();
    copy.reset();
  }
  count_bytes(state);
}
BENCHMARK(BM_Destroy);

void BM_PrettyWrite(benchmark::State& state) {
  const auto& model = bench::model();
  for (auto _ : state) benchmark::DoNotOptimize(json_text::to_pretty_json(model));
  count_bytes(state);
}
BENCHMARK(BM_PrettyWrite);

void BM_CompactWrite(benchmark::State& state) {
  const auto& model = bench::model();
  for (auto _ : state) benchmark::DoNotOptimize(json_text::to_compact_json(model));
  count_bytes(state);
}
BENCHMARK(BM_CompactWrite);

void BM_WriteFile(benchmark::State& state) {
  const auto path = bench::workspace_root() / "written.json";
  const std::string& text = bench::model_text();
  for (auto _ : state) benchmark::DoNotOptimize(platform::write_file(path, text));
  count_bytes(state);
}
BENCHMARK(BM_WriteFile);

}  // namespace
