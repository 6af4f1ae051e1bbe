#include "batch_output_writer.h"

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "json/json.h"
#include "native_runner/batch_config.h"
#include "native_runner/progress_records.h"
#include "native_runner/utc_timestamp.h"
#include "platform/file_system.h"

namespace bench {
namespace {

namespace fs = std::filesystem;
using native_runner::ProcessingEvent;
using native_runner::ProgressUpdate;
using native_runner::SimulationProgress;
using native_runner::StructuredError;

constexpr const char* kConfig = "demo_batch";

// A batch that started at a fixed instant and took this long per combination.
class Clock {
 public:
  explicit Clock(bool simulation) : step_(simulation ? 1.0 : 0.00146) {}
  std::string at(std::uint64_t combination) const {
    const auto offset = std::chrono::duration<double>(static_cast<double>(combination) * step_);
    return native_runner::utc_timestamp(
        start_ + std::chrono::duration_cast<std::chrono::system_clock::duration>(offset));
  }

 private:
  std::chrono::system_clock::time_point start_ =
      std::chrono::sys_days(std::chrono::year(2026) / 1 / 1);
  double step_;
};

// One job's two logs, appended to as the batch would.
class JobLogs {
 public:
  JobLogs(const fs::path& dir, std::string job_id)
      : job_id_(std::move(job_id)),
        events_(dir / "logs" / "processing" / ("batch_processing_" + job_id_ + ".log"),
                std::ios::binary),
        errors_(dir / "logs" / "errors" / ("batch_errors_" + job_id_ + ".jsonl"),
                std::ios::binary) {}

  void event(const std::string& time, const std::string& type, const std::string& message,
             const std::string& model = "", std::uint64_t index = 0, std::uint64_t total = 0) {
    events_ << native_runner::to_compact_json(
                   ProcessingEvent{time, job_id_, kConfig, type, message, model, index, total})
            << '\n';
  }

  void failure(const std::string& time, const std::string& model, std::uint64_t index,
               std::uint64_t total, const std::string& model_file) {
    const json_text::Json details = {{"weather_file", "/work/weather/site.epw"},
                                     {"model_file", model_file}};
    errors_ << native_runner::to_compact_json(StructuredError{
                   time, job_id_, kConfig, "SIMULATION_FAILED",
                   "Simulation failed: Simulation failed. Exit code: Some(3) Stdout:  Stderr: "
                   "stand-in engine: asked to fail",
                   model, index, total, details})
            << '\n';
  }

  const std::string& job_id() const { return job_id_; }
  bool good() const { return events_.good() && errors_.good(); }

 private:
  std::string job_id_;
  std::ofstream events_;
  std::ofstream errors_;
};

std::string job_id(std::uint64_t shard, std::uint64_t shards) {
  if (shards <= 1) return "native_test";
  return "native_test_shard_" + std::to_string(shard) + "_of_" + std::to_string(shards);
}

}  // namespace

common::Result<void> write_batch_output(const fs::path& dir, const BatchOutputOptions& options) {
  for (const char* folder : {"logs/processing", "logs/errors"}) {
    if (auto made = platform::create_directories(dir / folder); !made) return made;
  }
  const Clock clock(options.simulation);
  const std::uint64_t groups = std::max<std::uint64_t>(options.groups, 1);
  for (std::uint64_t shard = 0; shard < options.shards; ++shard) {
    JobLogs logs(dir, job_id(shard, options.shards));
    logs.event(clock.at(0), "BATCH_START", "Native batch processing started");
    std::uint64_t own = 0, sequence = 0;
    std::string last_group, last_model;
    for (std::uint64_t g = 0; g < groups; ++g) {
      const std::string group = "group_" + std::string(1, static_cast<char>('a' + g % 26)) +
                                (g >= 26 ? std::to_string(g) : "");
      const std::uint64_t total =
          options.combinations / groups + (g < options.combinations % groups ? 1 : 0);
      for (std::uint64_t i = 0; i < total; ++i, ++sequence) {
        if (sequence % options.shards != shard) continue;
        const std::string model = native_runner::model_name(group, i);
        const std::string result = "result_" + std::string(kConfig) + "_" + model;
        if (options.result_directories) {
          if (auto made = platform::create_directories(dir / result); !made) return made;
        }
        logs.event(clock.at(own), "MODEL_START", "Processing model " + model, model, i, total);
        ++own;
        if (!options.simulation) {
          logs.event(clock.at(own), "JSON_ONLY_SKIP", "Simulation skipped in JSON-only mode",
                     model, i, total);
        } else if (options.fail_every > 0 && (sequence + 1) % options.fail_every == 0) {
          logs.failure(clock.at(own), model, i, total,
                       (dir / result / (group + ".json")).string());
        } else {
          logs.event(clock.at(own), "SIMULATION_SUCCESS", "Simulation completed successfully",
                     model, i, total);
        }
        last_model = model;
      }
      last_group = group;
      const ProgressUpdate done{logs.job_id(), total, total, 100.0, group,
                                "Group processing completed", clock.at(own)};
      if (auto written = platform::write_file(dir / ("progress_" + logs.job_id() + ".json"),
                                              native_runner::to_pretty_json(done));
          !written) {
        return written;
      }
    }
    logs.event(clock.at(own), "BATCH_COMPLETE", "Native batch processing completed");
    if (!logs.good()) return common::fail("cannot write the logs of " + logs.job_id());
    if (options.simulation && !last_model.empty()) {
      const SimulationProgress finished{logs.job_id(), last_model, 8760, 8760, 100.0, "December",
                                        31, 23.0, "Simulation completed successfully",
                                        clock.at(own)};
      if (auto written = platform::write_file(dir / ("sim_progress_" + logs.job_id() + ".json"),
                                              native_runner::to_pretty_json(finished));
          !written) {
        return written;
      }
    }
  }
  return {};
}

}  // namespace bench
