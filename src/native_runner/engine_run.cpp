#include "native_runner/engine_run.h"

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "native_runner/engine_outputs.h"

namespace native_runner {
namespace {

// One attempt's directory, removed with whatever is still in it however the attempt ends.
class AttemptDirectory {
 public:
  AttemptDirectory(const Files& files, BatchTempDirectory& temp_directory)
      : files_(files), temp_directory_(temp_directory) {}
  ~AttemptDirectory() {
    if (path_) (void)files_.remove_tree(*path_);
  }
  AttemptDirectory(const AttemptDirectory&) = delete;
  AttemptDirectory& operator=(const AttemptDirectory&) = delete;

  common::Result<std::filesystem::path> make() {
    auto made = temp_directory_.run_directory();
    if (made) path_ = *made;
    return made;
  }
  const std::filesystem::path& path() const { return *path_; }

 private:
  const Files& files_;
  BatchTempDirectory& temp_directory_;
  std::optional<std::filesystem::path> path_;
};

common::Result<void> announce_retry(std::string_view model_name, std::uint64_t attempt,
                                    std::uint64_t attempts, const common::Error& failure,
                                    const EngineRunServices& services) {
  services.engine.out << "[SIMULATION] Retrying simulation for " << model_name << " (attempt "
                      << attempt << " of " << attempts << ")\n";
  return services.record_retry(attempt, failure);
}

}  // namespace

EngineRunReport run_engine(SimulationRequest request, const std::filesystem::path& result_dir,
                           const EngineRunPolicy& policy, const EngineRunServices& services) {
  request.time_limit = policy.time_limit;
  const std::uint64_t attempts = std::uint64_t{policy.retries} + 1;
  for (std::uint64_t attempt = 1;; ++attempt) {
    AttemptDirectory directory(services.engine.files, services.temp_directory);
    request.model_directory = [&directory] { return directory.make(); };
    const auto started = std::chrono::steady_clock::now();
    auto ended = run_simulation(request, services.engine);
    const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - started;
    EngineRunReport report{{}, attempt, taken.count()};
    if (!ended) {
      report.verdict = std::unexpected(ended.error());
      return report;
    }
    // A failure the user cut short has no verdict either: it is neither retried nor kept.
    if (!ended->verdict && services.engine.stop.stop_requested()) {
      report.verdict = common::fail(std::string(kEngineRunInterrupted));
      return report;
    }
    if (!ended->verdict && attempt < attempts) {
      auto recorded = announce_retry(request.model_name, attempt + 1, attempts,
                                     ended->verdict.error(), services);
      if (!recorded) {
        report.verdict = std::move(recorded);
        return report;
      }
      continue;
    }
    const EngineStreams streams{ended->standard_output, ended->standard_error};
    if (auto kept = keep_engine_outputs(services.engine.files, directory.path(), result_dir,
                                        streams, policy.keep);
        !kept) {
      report.verdict = std::move(kept);
      return report;
    }
    report.verdict = std::move(ended->verdict);
    return report;
  }
}

}  // namespace native_runner
