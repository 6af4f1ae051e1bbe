// ensemble_probe: runs one batch of variants from the command line.
#include <iostream>
#include <new>
#include <stop_token>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/error.h"
#include "common/program_version.h"
#include "common/utf8.h"
#include "native_runner/batch_driver.h"
#include "native_runner/probe_arguments.h"
#include "native_runner/shard.h"
#include "native_runner/workspace_paths.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/interrupt.h"
#include "platform/memory_reuse.h"
#include "platform/os_error.h"

namespace {

constexpr const char* kJobId = "native_test";

// Paths travel as UTF-8 text through messages and records, so words that are not text are
// refused up front rather than mangled.
bool all_text(const std::vector<std::string>& words) {
  for (std::size_t i = 1; i < words.size(); ++i) {
    if (!common::is_valid_utf8(words[i])) {
      std::cerr << "[ensemble_probe] Command-line argument " << i
                << " is not valid UTF-8: " << common::to_valid_utf8_lossy(words[i]) << '\n';
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  platform::prepare_console();
  // The batch prints a dozen lines per combination. Tied to C stdio, std::cout hands every piece
  // to a stream that flushes each line on a console (or does not buffer at all there, on
  // Windows); on its own it fills one buffer, and the driver flushes wherever order or a waiting
  // watcher needs it.
  std::ios::sync_with_stdio(false);
  platform::keep_freed_memory_for_reuse();
  const std::vector<std::string> words = platform::command_line_words(argc, argv);
  const auto arguments =
      native_runner::parse_probe_arguments(words, std::thread::hardware_concurrency());
  if (!arguments) {
    std::cerr << arguments.error().message;
    return 1;
  }
  if (arguments->request == common::ProgramRequest::kHelp) {
    std::cout << native_runner::probe_help(words[0]);
    return 0;
  }
  if (arguments->request == common::ProgramRequest::kVersion) {
    std::cout << common::version_line("ensemble_probe");
    return 0;
  }
  if (!all_text(words)) return 1;
  const bool json_only = arguments->json_only;
  const std::string& config_path = arguments->config_path;
  const std::string& output_dir = arguments->output_dir;
  std::cout << "[ensemble_probe] Called with config: " << config_path
            << " output_dir: " << output_dir << " json_only: " << (json_only ? "true" : "false")
            << std::endl;

  const auto output_path = platform::path_from_utf8(output_dir);
  if (auto created = platform::create_directories(output_path); !created) {
    std::cerr << "Failed to create output directory: " << created.error().message << '\n';
    return 1;
  }
  const auto paths = native_runner::derive_workspace_paths(config_path);
  if (!paths) {
    std::cerr << "[ensemble_probe] " << paths.error().message << '\n';
    return 1;
  }
  std::cout << "[ensemble_probe] Using workspace: " << platform::path_text(paths->workspace) << '\n'
            << "[ensemble_probe] Using base_params: " << platform::path_text(paths->base_params_dir)
            << '\n';

  // Ctrl+C ends the engine runs in flight rather than leaving them (and their temporary files)
  // behind; the batch returns through the driver, which removes what it created.
  std::stop_source stop;
  auto watch = platform::InterruptWatch::start(stop);
  if (!watch) {
    std::cerr << "[ensemble_probe] Cannot watch for interrupts: " << watch.error().message << '\n';
    return 1;
  }
  const auto services = native_runner::default_batch_services(std::cout);
  common::Result<native_runner::BatchCounts> outcome;
  try {
    const native_runner::BatchOptions options{
        .config_path = platform::path_from_utf8(config_path),
        .base_params_dir = paths->base_params_dir,
        .output_dir = output_path,
        .progress_dir = output_path,
        .job_id = arguments->shard ? native_runner::shard_job_id(kJobId, *arguments->shard)
                                   : std::string(kJobId),
        .json_only = json_only,
        .jobs = arguments->jobs,
        .shard = arguments->shard,
        .sample = arguments->sample,
        .keep_going = arguments->keep_going,
        .resume = arguments->resume,
        .engine_runs = arguments->engine_runs,
        .stop = stop.get_token(),
    };
    outcome = native_runner::run_native_batch(options, services);
  } catch (const std::bad_alloc&) {
    // A document too large for memory ends the batch like any failed read, not with an abort.
    const auto code = std::make_error_code(std::errc::not_enough_memory);
    outcome = std::unexpected(platform::os_error(code));
  }
  std::cout.flush();
  if (!outcome && (*watch)->interrupted()) {
    std::cout << "[ensemble_probe] Interrupted: engine runs stopped, temporary files removed"
              << std::endl;
    return platform::kInterruptedExitStatus;
  }
  if (!outcome) {
    std::cerr << "[ensemble_probe] Native batch failed: " << outcome.error().message << '\n';
    return 1;
  }
  if (arguments->keep_going) std::cout << native_runner::summary_line(*outcome) << '\n';
  if (outcome->failed > 0) {
    std::cout.flush();
    std::cerr << "[ensemble_probe] Native batch finished with " << outcome->failed
              << " failed simulation(s)\n";
    return 1;
  }
  std::cout << "[ensemble_probe] Native batch completed successfully ("
            << (json_only ? "JSON-only mode" : "simulation mode") << ")" << std::endl;
  return 0;
}
