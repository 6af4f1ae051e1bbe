// Simulated batches that meet failing engine runs and are cut off part-way, run in memory again
// and again into the same output directory.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "native_runner/batch_driver.h"
#include "native_runner/simulation_outcome.h"
#include "support/cut_off_files.h"
#include "support/failing_files.h"
#include "support/fake_process_runner.h"
#include "support/memory_files.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;
using Models = std::multiset<std::string>;

// g_0..g_5 turn model_wrappers slowest: g_3..g_5 run through the wrapper that asks for an engine
// option (their variants equal those of g_0..g_2). h_0 and h_1 are a second group, from another
// base model, sharing the weather file.
const std::vector<std::string> kModels = {"g_0", "g_1", "g_2", "g_3", "g_4", "g_5", "h_0", "h_1"};
constexpr std::size_t kNoCut = SIZE_MAX;

struct Options {
  bool resume = false;
  bool keep_going = false;
  unsigned jobs = 1;
};

class BatchRecoveryTest : public ::testing::Test {
 protected:
  BatchRecoveryTest() { seed(); }

  void seed() {
    files_.clear();
    files_.put(root() / "bin" / "bash", "");
    files_.put(root() / "ws" / "src-tauri" / "resources" / "run.sh", "");
    (void)files_.create_directories(root() / "tmp");
    param("base_json/house.json", R"({"Zone": {}, "Tariff": {"a": 1}})");
    param("base_json/flat.json", R"({"Zone": {}, "Tariff": {"a": 2}})");
    for (const char* t : {"t1", "t2", "t3"}) {
      param(std::string("tariff/") + t + ".json",
            std::string(R"({"Tariff": {"plan": ")") + t + "\"}}");
    }
    param("model_wrappers/plain.json", "{}");
    param("model_wrappers/hb.json", R"({"cli_flag": "--heat-balance"})");
    param("weather_files/w.json", R"({"weather_file": "w.epw"})");
    param("weather_files/w.epw", "sample");
    files_.put(config(), R"({
      "g": {"base_json": ["house"], "weather_files": ["w"], "tariff": ["t1", "t2", "t3"],
            "model_wrappers": ["plain", "hb"]},
      "h": {"base_json": ["flat"], "weather_files": ["w"], "tariff": ["t1", "t2"]}})");
    std::scoped_lock lock(engine_mutex_);
    ran_.clear();
    last_verdict_.clear();
    failing_.clear();
  }

  static fs::path root() { return "/mem"; }
  static fs::path base() { return root() / "ws" / "input" / "batch_parameters"; }
  static fs::path config() { return root() / "ws" / "input" / "configs" / "batch.json"; }
  static fs::path out() { return root() / "out"; }
  static fs::path result_dir(const std::string& model) { return out() / ("result_batch_" + model); }
  static fs::path variant(const std::string& model) {
    return result_dir(model) / (model.substr(0, 1) + ".json");
  }
  void param(const std::string& relative, const std::string& text) {
    files_.put(base() / relative, text);
  }

  // Runs the batch with every file call from the `cut_at`th on failing as if the program had
  // died there; `inner` may inject failures of its own.
  common::Result<BatchCounts> run(const Options& o, std::size_t cut_at = kNoCut,
                                  const Files* inner = nullptr) {
    std::stop_source stop;
    const test_support::CutOffFiles files(inner != nullptr ? *inner : files_, cut_at, stop);
    {
      std::scoped_lock lock(engine_mutex_);
      cut_ = &files;
    }
    std::ostringstream console;
    const BatchServices services{
        console, files, processes_,
        EngineHost{root() / "tmp",
                   ShellSearch{{(root() / "bin" / "bash").string()}, {"which", {}, {}}}}};
    const BatchOptions options{.config_path = config(),
                               .base_params_dir = base(),
                               .output_dir = out(),
                               .progress_dir = out(),
                               .job_id = "job",
                               .json_only = false,
                               .jobs = o.jobs,
                               .keep_going = o.keep_going,
                               .resume = o.resume,
                               .stop = stop.get_token()};
    auto outcome = run_native_batch(options, services);
    std::scoped_lock lock(engine_mutex_);
    cut_ = nullptr;
    calls_ = files.calls();
    return outcome;
  }

  static std::vector<std::string> engine_options(const std::string& model) {
    if (model >= "g_3" && model <= "g_5") return {"--heat-balance"};
    return {};
  }

  // What the outcome record of `model` has to describe: its variant file as it is now.
  SimulationInputs expected_inputs(const std::string& model) const {
    return describe_simulation("batch", model, files_.text(variant(model)),
                               (base() / "weather_files" / "w.epw").string(), "sample",
                               engine_options(model));
  }

  std::set<std::string> valid_outcomes() const {
    std::set<std::string> valid;
    for (const auto& model : kModels) {
      const fs::path record = result_dir(model) / "simulation_outcome.json";
      if (files_.is_file(record) && outcome_matches(files_.text(record), expected_inputs(model))) {
        valid.insert(model);
      }
    }
    return valid;
  }

  Models take_engine_runs() {
    std::scoped_lock lock(engine_mutex_);
    const std::vector<std::string> runs = std::exchange(ran_, {});
    return Models(runs.begin(), runs.end());
  }

  test_support::MemoryFiles files_;
  std::mutex engine_mutex_;
  const test_support::CutOffFiles* cut_ = nullptr;
  std::size_t calls_ = 0;                            // file calls of the last run
  std::set<std::string> failing_;                    // models the engine refuses
  std::vector<std::string> ran_;                     // models the engine was started on, in order
  std::map<std::string, std::string> last_verdict_;  // "ok", "fail" or "cut", per model
  // The model is recognised by its text (the engine is handed exactly the variant file's
  // bytes) and the options after the script, model, weather file and config name.
  test_support::FakeProcessRunner processes_{[this](const platform::ProcessRequest& request) {
    // A run cut off before the shell was found looks for it on the path: nothing there.
    if (request.arguments.size() < 4) {
      return common::Result<platform::ProcessOutcome>(platform::ProcessOutcome{1, "", ""});
    }
    const std::string text = files_.text(request.arguments.at(1));
    const std::vector<std::string> options(request.arguments.begin() + 4, request.arguments.end());
    std::scoped_lock lock(engine_mutex_);
    std::string model = "unknown";
    for (const auto& m : kModels) {
      if (files_.text(variant(m)) == text && engine_options(m) == options) model = m;
    }
    ran_.push_back(model);
    if (cut_ != nullptr && cut_->cut()) {
      last_verdict_[model] = "cut";
      return common::Result<platform::ProcessOutcome>(platform::ProcessOutcome{{}, "", "", true});
    }
    const bool fails = failing_.contains(model);
    last_verdict_[model] = fails ? "fail" : "ok";
    return common::Result<platform::ProcessOutcome>(
        platform::ProcessOutcome{fails ? 5 : 0, "", fails ? "refused" : ""});
  }};
};

// Only the engine's own verdict on a model is one combination's failure; a run that cannot be
// started or a record that cannot be written ends the batch as without the option.
TEST_F(BatchRecoveryTest, KeepGoingGoesOnOnlyPastFailedEngineRuns) {
  const std::string injected = "No space left on device (os error 28)";
  struct Row {
    std::string name;
    std::set<std::string> failing;
    bool without_script = false;
    std::optional<test_support::FailingFiles::Failure> fault;
    std::string error;  // empty: the batch completes
    Models ran;
    std::set<std::string> succeeded;
  };
  const Row rows[] = {
      {"two models refused",
       {"g_1", "h_0"},
       false,
       std::nullopt,
       "",
       Models(kModels.begin(), kModels.end()),
       {"g_0", "g_2", "g_3", "g_4", "g_5", "h_1"}},
      {"no engine script",
       {},
       true,
       std::nullopt,
       "run.sh not found at: " + (root() / "ws" / "src-tauri" / "resources" / "run.sh").string(),
       {},
       {}},
      // Variant g_0, its record, variant g_1, then g_1's record fails.
      {"outcome record cannot be written",
       {},
       false,
       test_support::FailingFiles::Failure{test_support::FileCall::Replace, 4, injected},
       injected,
       {"g_0", "g_1"},
       {"g_0"}},
      // BATCH_START, MODEL_START g_0, then the failure's own error line.
      {"failure cannot be logged",
       {"g_0"},
       false,
       test_support::FailingFiles::Failure{test_support::FileCall::Append, 3, injected},
       injected,
       {"g_0"},
       {}},
  };
  for (const unsigned jobs : {1u, 3u}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(row.name + ", jobs " + std::to_string(jobs));
      seed();
      failing_ = row.failing;
      if (row.without_script) (void)files_.remove(root() / "ws/src-tauri/resources/run.sh");
      std::optional<test_support::FailingFiles> faulty;
      if (row.fault) faulty.emplace(files_, *row.fault);

      const auto outcome =
          run({.keep_going = true, .jobs = jobs}, kNoCut, faulty ? &*faulty : nullptr);

      if (row.error.empty()) {
        ASSERT_TRUE(outcome) << outcome.error().message;
        EXPECT_EQ(outcome->combinations, 8u);
        EXPECT_EQ(outcome->variants_written, 8u);
        EXPECT_EQ(outcome->resumed, 0u);
        EXPECT_EQ(outcome->simulated, 8u);
        EXPECT_EQ(outcome->failed, row.failing.size());
      } else {
        ASSERT_FALSE(outcome);
        EXPECT_EQ(outcome.error().message, row.error);
      }
      // Parallel runs may have started the next combination before the batch ended.
      if (jobs == 1 || row.error.empty()) {
        EXPECT_EQ(take_engine_runs(), row.ran);
        EXPECT_EQ(valid_outcomes(), row.succeeded);
      }
    }
  }
}

// Random sequences of runs (plain or resumed, with or without --keep-going, one or three engine
// runs at once) that the engine fails for random models and that are cut off at a random file
// call, each followed by one complete resumed run. At every point a valid outcome record stands
// only for a model whose latest engine run succeeded, and a resumed run never starts a model that
// had one; after the complete run every model has exactly its own.
TEST_F(BatchRecoveryTest, AnyRunsCutOffOrFailedEndInOneValidOutcomePerCombination) {
  ASSERT_TRUE(run({}));
  const std::size_t calls_per_run = calls_;
  const std::set<std::string> all(kModels.begin(), kModels.end());
  for (unsigned seed_value = 0; seed_value < 300 && !HasFailure(); ++seed_value) {
    SCOPED_TRACE("seed " + std::to_string(seed_value));
    seed();
    std::mt19937 random(seed_value);
    const auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };
    const auto runs = std::uniform_int_distribution<int>(1, 4)(random);
    for (int r = 0; r < runs; ++r) {
      const Options options{chance(0.5), chance(0.5), chance(0.5) ? 3u : 1u};
      {
        std::scoped_lock lock(engine_mutex_);
        failing_.clear();
        for (const auto& model : kModels) {
          if (chance(0.3)) failing_.insert(model);
        }
      }
      const std::size_t cut_at =
          chance(0.8) ? std::uniform_int_distribution<std::size_t>(1, calls_per_run)(random)
                      : kNoCut;
      const auto before = valid_outcomes();

      (void)run(options, cut_at);

      SCOPED_TRACE("run " + std::to_string(r) + " cut at " + std::to_string(cut_at));
      for (const auto& model : valid_outcomes()) {
        EXPECT_EQ(last_verdict_[model], "ok") << model << " has a record of a success it lost";
      }
      const Models ran = take_engine_runs();
      if (options.resume) {
        for (const auto& model : ran) EXPECT_FALSE(before.contains(model)) << model << " ran again";
      }
    }
    failing_.clear();
    const auto before = valid_outcomes();

    const auto outcome = run({true, true, chance(0.5) ? 3u : 1u});

    ASSERT_TRUE(outcome) << outcome.error().message;
    EXPECT_EQ(outcome->failed, 0u);
    EXPECT_EQ(outcome->resumed, before.size());
    Models expected_runs;
    for (const auto& model : kModels) {
      if (!before.contains(model)) expected_runs.insert(model);
    }
    EXPECT_EQ(take_engine_runs(), expected_runs);
    EXPECT_EQ(valid_outcomes(), all);
    // The variant and the outcome record beside the engine folder of the last run.
    std::size_t result_files = 0;
    for (const auto& path : files_.file_paths()) {
      result_files += path.starts_with((out() / "result_batch_").generic_string()) &&
                      path.find("/engine/") == std::string::npos;
    }
    EXPECT_EQ(result_files, 2 * kModels.size()) << "a result directory holds a stray file";
  }
}

}  // namespace
}  // namespace native_runner
