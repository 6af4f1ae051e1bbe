#include "native_runner/batch_driver.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/sha256.h"
#include "native_runner/batch_config.h"
#include "native_runner/batch_log.h"
#include "native_runner/batch_records.h"
#include "native_runner/batch_temp_directory.h"
#include "native_runner/combination_output.h"
#include "native_runner/combination_position.h"
#include "native_runner/combination_walk.h"
#include "native_runner/diagnostics.h"
#include "native_runner/engine_outputs.h"
#include "native_runner/engine_run.h"
#include "native_runner/engine_runner.h"
#include "native_runner/ordered_builds.h"
#include "native_runner/parsed_files.h"
#include "native_runner/shard.h"
#include "native_runner/simulation_outcome_file.h"
#include "native_runner/utc_timestamp.h"
#include "native_runner/variant_build.h"
#include "native_runner/weather_selection.h"
#include "native_runner/worker_pool.h"
#include "native_runner/workspace_paths.h"
#include "native_runner/wrapper_choice.h"
#include "platform/file_system.h"

namespace native_runner {

namespace {

using json_text::Json;
namespace fs = std::filesystem;

std::string quoted_escaped(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// One engine run handed to a worker thread: everything it needs, owned.
struct EngineJob {
  std::string model_name;
  common::BigCount index;
  common::BigCount total;
  std::string starting_line;
  json_text::Json model;
  std::string result_text;
  std::string result_absolute;  // what the engine is told
  std::string weather_text;
  std::string variant_text;
  CliFlags flags;
  fs::path workspace;
  fs::path result_dir;
  SimulationInputs inputs;  // what the outcome record of a success will hold

  LogPosition position() const { return LogPosition{model_name, index, total}; }
};

class BatchRun {
 public:
  BatchRun(const BatchOptions& options, const BatchServices& services)
      : options_(options),
        base_(options.base_params_dir),
        output_dir_(options.output_dir),
        services_(services),
        files_(services.files),
        parallel_(!options.json_only && options.jobs > 1),
        console_(services.out),
        out_(parallel_ ? prepared_ : services.out),
        records_(services.files, options.output_dir, options.progress_dir, options.job_id),
        temp_directory_(services.files, services.engine.temp_directory) {
    // JSON-only, the main thread builds too, so N threads in all.
    const unsigned pool_threads = options.json_only ? options.jobs - 1 : options.jobs;
    if (options.jobs > 1) pool_.emplace(pool_threads);
    const unsigned building_threads = options.json_only ? options.jobs : 1;
    for (unsigned i = 0; i < building_threads; ++i) {
      parsed_files_.push_back(std::make_unique<ParsedFiles>(services.files));
    }
  }

  // With parallel engine runs, the batch ends only once every run in flight has ended and been
  // recorded; the first failure of a run is the batch's failure.
  common::Result<BatchCounts> run() {
    auto outcome = run_batch();
    if (auto finished = finish_runs(); !finished) return std::unexpected(finished.error());
    if (!outcome) return std::unexpected(outcome.error());
    const std::chrono::duration<double> taken = std::chrono::steady_clock::now() - started_;
    return BatchCounts{combinations_, variants_written_, resumed_,
                       simulated_,    failed_,           taken.count()};
  }

 private:
  common::Result<void> run_batch() {
    const fs::path& config_path = options_.config_path;
    announce_start(config_path);
    auto config = read_json(files_, config_path);
    if (!config) return std::unexpected(config.error());
    auto config_name = config_name_from_path(config_path);
    if (!config_name) return std::unexpected(config_name.error());
    config_name_ = std::move(*config_name);
    records_.open_logs(config_name_);
    if (auto started = start_batch(config_path); !started) return started;
    for (const auto& [name, object] : group_members(*config)) {
      if (auto done = run_group(name, *object); !done) return done;
    }
    if (auto logged = records_.event("BATCH_COMPLETE", "Native batch processing completed");
        !logged) {
      return logged;
    }
    out_ << "Batch run complete.\n"
         << "Batch run statistics:\n";
    out_.flush();
    return {};
  }

  void announce_start(const fs::path& config_path) {
    const std::string lines[] = {
        "[NATIVE_BATCH] Starting native batch with progress",
        "[NATIVE_BATCH] Config path: " + platform::path_text(config_path),
        "[NATIVE_BATCH] Base params path: " + platform::path_text(base_),
        "[NATIVE_BATCH] Output dir: " + platform::path_text(output_dir_),
        "[NATIVE_BATCH] Progress output dir: " + platform::path_text(options_.progress_dir),
        "[NATIVE_BATCH] Job ID: " + options_.job_id,
        std::string("[NATIVE_BATCH] JSON only: ") + (options_.json_only ? "true" : "false"),
    };
    for (const auto& line : lines) out_ << line << '\n';
    for (const auto& line : lines) emit_diagnostic(line);
  }

  common::Result<void> start_batch(const fs::path& config_path) {
    const std::string config_text = platform::path_text(config_path);
    out_ << "[NATIVE_BATCH] Config name: " << config_name_ << '\n'
         << "[NATIVE_BATCH] Native output dir: " << platform::path_text(output_dir_) << '\n';
    if (auto created = files_.create_directories(output_dir_); !created) return created;
    if (auto logged = records_.event("BATCH_START", "Native batch processing started"); !logged) {
      return logged;
    }
    out_ << "Starting batch run with config: " << config_text << '\n';
    const auto cwd = platform::current_directory();
    if (!cwd) return std::unexpected(cwd.error());
    // As the system spells it: on Windows a path such as "\out" gets its drive.
    std::error_code unresolved;
    absolute_output_dir_ = fs::absolute(output_dir_, unresolved);
    if (unresolved) absolute_output_dir_ = *cwd / output_dir_;
    out_ << "Current working directory: " << quoted_escaped(platform::path_text(*cwd)) << '\n'
         << "Checking if config file exists: " << config_text << '\n'
         << "Config name extracted: " << config_name_ << '\n';
    return {};
  }

  common::Result<void> run_group(const std::string& name, const Json& object) {
    auto group = read_group(name, object);
    if (!group) return std::unexpected(group.error());
    auto selection = select_combinations(group->parameters, options_.sample);
    if (!selection) return std::unexpected(selection.error());
    const common::BigCount& total = selection->group_size;
    if (selection->sampled) {
      if (auto said = announce_sample(name, *selection); !said) return said;
    }
    if (auto written = records_.progress(name, 0, total, 0.0, "Starting batch processing", out_);
        !written) {
      return written;
    }
    CombinationWalk& walk = selection->walk;
    std::optional<OrderedBuilds> building;
    if (pool_ && options_.json_only) building.emplace(*pool_, out_);
    for (; walk.has_current(); walk.advance()) {
      if (!in_this_shard()) continue;
      ++combinations_;  // this process's own, so a shard's summary speaks of its share
      const common::BigCount& index = walk.index();
      Combination combination{*group,
                              index,
                              total,
                              model_name(name, index),
                              percentage_of(index, total),
                              walk.current()};
      if (building) {
        if (auto go_on = halted(); !go_on) return go_on;
        auto added = building->add([this, combination](CombinationOutput& output, unsigned thread) {
          return run_combination(combination, output, thread);
        });
        if (!added) return added;
        continue;
      }
      CombinationOutput output(&out_);
      auto done = run_combination(combination, output, 0);
      flush_console();
      if (!done) return done;
    }
    if (building) {
      if (auto finished = building->finish(); !finished) return finished;
    }
    for (const auto& parsed : parsed_files_) parsed->forget();
    // The group is complete once its last engine run is.
    if (auto finished = finish_runs(); !finished) return finished;
    return records_.progress(name, total, total, 100.0, "Group processing completed", out_);
  }

  // Every shard says it: each runs its share of the one sample, whose size the watcher counts.
  common::Result<void> announce_sample(const std::string& group, const GroupSelection& selection) {
    const std::string message =
        sample_message(selection.visited, selection.group_size, group, *options_.sample);
    out_ << "[ensemble_probe] " << message << '\n';
    return records_.event("GROUP_SAMPLE", message, LogPosition{group, 0, selection.visited});
  }

  // Counts every combination of the batch, in order, whether or not this process handles it.
  bool in_this_shard() {
    const std::uint64_t sequence_number = sequence_number_++;
    return !options_.shard || in_shard(sequence_number, *options_.shard);
  }

  // `thread`: which of the building threads runs it, each with its own parsed files.
  common::Result<void> run_combination(const Combination& c, CombinationOutput& output,
                                       unsigned thread) {
    if (auto go_on = halted(); !go_on) return go_on;
    if (auto written = output.record(progress_record(records_, c.name, c.next_index(), c.total,
                                                     c.percentage, "Processing model"));
        !written) {
      return written;
    }
    if (auto logged =
            output.record(event_record(records_, "MODEL_START", "Processing model " + c.name, c));
        !logged) {
      return logged;
    }
    const VariantSources sources{.files = files_,
                                 .parsed = *parsed_files_[thread],
                                 .base = base_,
                                 .output_dir = output_dir_,
                                 .config_name = config_name_,
                                 .keeps_model = !options_.json_only};
    auto built = build_variant(c, sources, records_, output);
    if (!built) return std::unexpected(built.error());
    if (!*built) return {};
    ++variants_written_;
    if (options_.json_only) {
      output.out() << "JSON-ONLY MODE: Skipping simulation for " << c.name << '\n';
      return output.record(
          event_record(records_, "JSON_ONLY_SKIP", "Simulation skipped in JSON-only mode", c));
    }
    return simulate(c, **built);
  }

  common::Result<void> simulate(const Combination& c, BuiltVariant& variant) {
    const fs::path& result_dir = variant.result_dir;
    auto weather = resolve_weather_file(*c.group.object, base_, files_, out_);
    if (!weather) return std::unexpected(weather.error());
    if (weather->kind == WeatherLookup::Kind::NotNamed) {
      out_ << "No weather file specified for " << c.name << ", skipping simulation\n";
      Json details = {{"combination", index_json(c.index)}, {"group_name", c.group.name}};
      return records_.error("WEATHER_FILE_NOT_FOUND",
                            "No weather file specified for this combination", c.position(),
                            std::move(details));
    }
    if (weather->kind == WeatherLookup::Kind::Skipped) return {};
    const WrapperQuery query{base_, wrapper_name(c.group.parameters, c.values), c.name,
                             weather->weather_file};
    // The wrapper's lines announce a run; a combination that is not run again prints only its
    // resume line.
    std::ostringstream wrapper_lines;
    auto wrapper = resolve_wrapper_flags(query, files_, wrapper_lines);
    if (!wrapper) {
      out_ << wrapper_lines.str();
      return std::unexpected(wrapper.error());
    }
    const std::string weather_text = strip_verbatim_prefix(platform::path_text(weather->path));
    auto inputs = simulation_inputs(c, variant.text, weather->path, weather_text, wrapper->flags);
    if (!inputs) {
      out_ << wrapper_lines.str();
      return std::unexpected(inputs.error());
    }
    if (options_.resume && has_matching_outcome(files_, result_dir, *inputs)) {
      return skip_resumed(c);
    }
    out_ << wrapper_lines.str();
    const auto workspace = workspace_of_base();
    if (!workspace) return std::unexpected(workspace.error());
    if (pool_) {
      // Once a run has failed or the user interrupted, no further run starts.
      pool_->wait_for_free_worker();
      if (auto go_on = halted(); !go_on) return go_on;
    }
    // Gone before the engine starts: a run cut off from here on leaves no success standing, and
    // what the engine folder holds is always the last run's.
    if (auto removed = remove_outcome_file(files_, result_dir); !removed) return removed;
    if (auto removed = remove_engine_outputs(files_, result_dir); !removed) return removed;
    ++simulated_;
    if (auto written = records_.simulation_progress(c.name, false); !written) return written;
    const std::string starting = "[SIMULATION] Starting simulation for " + c.name;
    EngineJob job{
        c.name,
        c.index,
        c.total,
        starting,
        std::move(variant.model),
        platform::path_text(result_dir),
        strip_verbatim_prefix(platform::path_text(absolute_output_dir_ / result_dir.filename())),
        weather_text,
        platform::path_text(variant.file),
        wrapper->flags,
        *workspace,
        result_dir,
        std::move(*inputs)};
    emit_diagnostic(starting);
    if (!pool_) return run_engine_job(job, out_);
    flush_console();
    pool_->submit([this, job = std::move(job)] { run_on_worker(job); });
    return {};
  }

  // Everything that decides what the engine computes for this combination. The weather file is
  // hashed once per batch: every combination of a group shares it.
  common::Result<SimulationInputs> simulation_inputs(const Combination& c,
                                                     std::string_view variant_text,
                                                     const fs::path& weather_path,
                                                     std::string_view weather_text,
                                                     CliFlags flags) {
    auto hash = weather_hashes_.find(weather_path);
    if (hash == weather_hashes_.end()) {
      const auto bytes = files_.read(weather_path);
      if (!bytes) return std::unexpected(bytes.error());
      hash = weather_hashes_.emplace(weather_path, common::sha256_hex(*bytes)).first;
    }
    return SimulationInputs{config_name_,
                            c.name,
                            common::sha256_hex(variant_text),
                            std::string(weather_text),
                            hash->second,
                            cli_flags_to_args(flags)};
  }

  common::Result<void> skip_resumed(const Combination& c) {
    out_ << "RESUME: Skipping simulation for " << c.name
         << " (already succeeded with the same inputs)\n";
    ++resumed_;
    return records_.event("RESUME_SKIP",
                          "Simulation skipped: an earlier run succeeded with the same inputs",
                          c.position());
  }

  // A failed engine run, once logged: with keep_going it ends only its combination. Runs that
  // could not be set up or started still end the batch.
  common::Result<void> engine_failed(const common::Result<void>& simulated) {
    if (!options_.keep_going || !is_engine_failure(simulated.error())) return simulated;
    ++failed_;
    return {};
  }

  // One path for every run, on the main thread or a worker: the run's console lines go to `out`,
  // and its verdict is recorded.
  common::Result<void> run_engine_job(const EngineJob& job, std::ostream& out) {
    out << job.starting_line << '\n';
    const EngineServices engine{out, files_, services_.processes, services_.engine, options_.stop};
    const SimulationRequest request{job.model, job.result_text, job.weather_text,
                                    job.flags, job.workspace,   config_name_,
                                    {},        job.model_name,  job.result_absolute};
    const auto record_retry = [this, &job](std::uint64_t attempt, const common::Error& failure) {
      return retry_event(job, attempt, failure);
    };
    auto report = run_engine(request, job.result_dir, options_.engine_runs,
                             EngineRunServices{engine, temp_directory_, record_retry});
    // An interrupted run has no verdict to record; the interruption itself ends the batch.
    if (!report.verdict && options_.stop.stop_requested()) return report.verdict;
    return record_outcome(job, report);
  }

  // On a worker thread: the run's console lines are printed as one block once it has ended, so
  // the blocks of overlapping runs never mix. A thread has nowhere to throw to, so whatever
  // escapes ends the batch like a failed run.
  void run_on_worker(const EngineJob& job) {
    std::ostringstream block;
    try {
      auto done = run_engine_job(job, block);
      if (!done && !options_.stop.stop_requested()) note_failure(done.error());
    } catch (const std::exception& e) {
      note_failure(common::Error(std::string("engine run for ") + job.model_name + ": " + e.what()));
    }
    std::scoped_lock lock(console_mutex_);
    console_ << block.str();
    console_.flush();
  }

  common::Result<void> retry_event(const EngineJob& job, std::uint64_t attempt,
                                   const common::Error& failure) {
    const std::string_view reason =
        std::string_view(failure.message).substr(0, failure.message.find('\n'));
    return records_.event("SIMULATION_RETRY",
                          "Retrying simulation (attempt " + std::to_string(attempt) + " of " +
                              std::to_string(options_.engine_runs.retries + 1) +
                              ") after: " + std::string(reason),
                          job.position());
  }

  // The verdict of a finished run, on the main thread or a worker: the failure record, or the
  // outcome record of a success with its progress and event.
  common::Result<void> record_outcome(const EngineJob& job, const EngineRunReport& report) {
    const auto held = records_.hold();
    if (!report.verdict) {
      Json details = {{"weather_file", job.weather_text}, {"model_file", job.variant_text}};
      auto logged = records_.error("SIMULATION_FAILED",
                                   "Simulation failed: " + report.verdict.error().message,
                                   job.position(), std::move(details));
      if (!logged) return logged;
      return engine_failed(report.verdict);
    }
    const SimulationRun run{utc_timestamp(), report.duration_s, report.attempts};
    if (auto recorded = write_outcome_file(files_, job.result_dir, job.inputs, run); !recorded) {
      return recorded;
    }
    if (auto written = records_.simulation_progress(job.model_name, true); !written) return written;
    return records_.event("SIMULATION_SUCCESS", "Simulation completed successfully",
                          job.position());
  }

  void note_failure(const common::Error& error) {
    std::scoped_lock lock(failure_mutex_);
    if (!first_failure_) first_failure_ = error;
  }

  // Why no further combination may start: the user interrupted, or a parallel run failed.
  common::Result<void> halted() {
    if (options_.stop.stop_requested()) return common::fail("Interrupted");
    std::scoped_lock lock(failure_mutex_);
    if (first_failure_) return std::unexpected(*first_failure_);
    return {};
  }

  // Waits for the runs in flight and prints what is still held back.
  common::Result<void> finish_runs() {
    if (!pool_) return {};
    pool_->wait_idle();
    flush_console();
    std::scoped_lock lock(failure_mutex_);
    if (first_failure_) return std::unexpected(*first_failure_);
    return {};
  }

  // The main thread's lines go out between run blocks, never inside one.
  void flush_console() {
    if (!parallel_) return;
    std::scoped_lock lock(console_mutex_);
    console_ << prepared_.str();
    prepared_.str("");
    console_.flush();
  }

  // The engine's workspace is two levels above the base-parameter directory.
  common::Result<fs::path> workspace_of_base() const {
    auto workspace = lexical_ancestor(base_, 2);
    if (!workspace) {
      return common::fail("cannot derive the workspace from base-parameter directory '" +
                          platform::path_text(base_) + "': it needs two parent levels");
    }
    return *workspace;
  }

  const BatchOptions& options_;
  const fs::path& base_;
  const fs::path& output_dir_;
  const BatchServices& services_;
  const Files& files_;
  const bool parallel_;  // engine runs on worker threads
  std::ostream& console_;
  // With parallel runs, the main thread's lines wait here until no run block is being printed.
  std::ostringstream prepared_;
  std::ostream& out_;  // where the main thread prints: the console, or prepared_
  std::mutex console_mutex_;
  BatchRecords records_;
  // Kept for one group at a time: what the next group needs may differ, and memory stays that
  // of one base model per building thread. One set per thread: two threads sharing one parsed
  // tree each built nearly half again as slowly as one thread alone.
  std::vector<std::unique_ptr<ParsedFiles>> parsed_files_;
  std::mutex failure_mutex_;
  std::optional<common::Error> first_failure_;
  // Created at the first simulation, removed with the run whichever way it ends.
  BatchTempDirectory temp_directory_;
  std::string config_name_;
  std::filesystem::path absolute_output_dir_;
  std::uint64_t sequence_number_ = 0;  // of the next combination, across all groups
  // Weather file hashes for the outcome records; used by the main thread only.
  std::map<fs::path, std::string> weather_hashes_;
  const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  // Counted on the main thread and by the runs and builds on worker threads.
  std::atomic<std::uint64_t> combinations_{0};
  std::atomic<std::uint64_t> variants_written_{0};
  std::atomic<std::uint64_t> resumed_{0};
  std::atomic<std::uint64_t> simulated_{0};
  std::atomic<std::uint64_t> failed_{0};
  // Last, so it is destroyed first: the runs in flight end while what they use still exists.
  std::optional<WorkerPool> pool_;
};

}  // namespace

common::Result<BatchCounts> run_native_batch(const BatchOptions& options,
                                             const BatchServices& services) {
  BatchRun run(options, services);
  auto outcome = run.run();
  services.out.flush();
  return outcome;
}

}  // namespace native_runner
