#include "native_runner/batch_driver.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "json/json_writer.h"
#include "model_editing/system_parameter.h"
#include "model_editing/variant_finishing.h"
#include "native_runner/batch_config.h"
#include "native_runner/batch_log.h"
#include "native_runner/diagnostics.h"
#include "native_runner/engine_runner.h"
#include "native_runner/progress_files.h"
#include "native_runner/utc_timestamp.h"
#include "native_runner/weather_selection.h"
#include "native_runner/workspace_paths.h"
#include "native_runner/wrapper_choice.h"
#include "native_runner/zone_allocation_files.h"
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

// Where one combination stands; the numbers every record of it carries.
struct Combination {
  const Group& group;
  std::uint64_t index;
  std::uint64_t total;
  std::string name;
  double percentage;
  std::vector<std::string_view> values;

  LogPosition position() const { return LogPosition{name, index, total}; }
};

// Outcome of the steps that may skip a combination without ending the batch.
enum class Step { Continue, Skip };

class BatchRun {
 public:
  BatchRun(const BatchOptions& options, const BatchServices& services)
      : options_(options),
        base_(options.base_params_dir),
        output_dir_(options.output_dir),
        services_(services),
        files_(services.files),
        out_(services.out),
        progress_files_(services.files, options.progress_dir, options.job_id) {}

  common::Result<void> run() {
    const fs::path& config_path = options_.config_path;
    announce_start(config_path);
    auto config = read_json(files_, config_path);
    if (!config) return std::unexpected(config.error());
    auto config_name = config_name_from_path(config_path);
    if (!config_name) return std::unexpected(config_name.error());
    config_name_ = std::move(*config_name);
    log_.emplace(files_, output_dir_, options_.job_id, config_name_);
    if (auto started = start_batch(config_path); !started) return started;
    for (const auto& [name, object] : group_members(*config)) {
      if (auto done = run_group(name, *object); !done) return done;
    }
    if (auto logged = log_->event("BATCH_COMPLETE", "Native batch processing completed");
        !logged) {
      return logged;
    }
    out_ << "Batch run complete.\n"
         << "Batch run statistics:\n";
    out_.flush();
    return {};
  }

 private:
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
    if (auto logged = log_->event("BATCH_START", "Native batch processing started"); !logged) {
      return logged;
    }
    out_ << "Starting batch run with config: " << config_text << '\n';
    const auto cwd = platform::current_directory();
    if (!cwd) return std::unexpected(cwd.error());
    out_ << "Current working directory: " << quoted_escaped(platform::path_text(*cwd)) << '\n'
         << "Checking if config file exists: " << config_text << '\n'
         << "Config name extracted: " << config_name_ << '\n';
    return {};
  }

  common::Result<void> run_group(const std::string& name, const Json& object) {
    auto group = read_group(name, object);
    if (!group) return std::unexpected(group.error());
    const auto total = count_combinations(group->parameters);
    if (!total) return std::unexpected(total.error());
    if (auto written = progress(name, 0, *total, 0.0, "Starting batch processing"); !written) {
      return written;
    }
    CombinationOdometer odometer(group->parameters);
    for (std::uint64_t i = 0; odometer.has_current(); ++i, odometer.advance()) {
      const double share = static_cast<double>(i + 1) / static_cast<double>(*total);
      Combination combination{
          *group, i, *total, model_name(name, i), share * 100.0, odometer.current()};
      if (auto done = run_combination(combination); !done) return done;
    }
    return progress(name, *total, *total, 100.0, "Group processing completed");
  }

  common::Result<void> run_combination(const Combination& c) {
    if (auto written = progress(c.name, c.index + 1, c.total, c.percentage, "Processing model");
        !written) {
      return written;
    }
    if (auto logged = log_->event("MODEL_START", "Processing model " + c.name, c.position());
        !logged) {
      return logged;
    }
    const fs::path base_model =
        base_ / "base_json" / platform::path_from_utf8(c.group.base_model_name + ".json");
    if (!files_.exists(base_model)) {
      out_ << "  ERROR: Base model '" << c.group.base_model_name
           << ".json' not found. Skipping group.\n";
      return progress(c.group.name, 0, c.total, 0.0, "Base model not found - skipping group");
    }
    auto variant = read_json(files_, base_model);
    if (!variant) return std::unexpected(variant.error());
    std::vector<std::string> applied_keys;
    auto merged = apply_parameters(c, *variant, applied_keys);
    if (!merged) return std::unexpected(merged.error());
    if (*merged == Step::Skip) return {};
    return finish_and_write(c, *variant, applied_keys);
  }

  common::Result<Step> apply_parameters(const Combination& c, Json& variant,
                                        std::vector<std::string>& applied_keys) {
    for (std::size_t k = 0; k < c.group.parameters.size(); ++k) {
      const std::string& key = c.group.parameters[k].key;
      const fs::path file = base_ / platform::path_from_utf8(key) /
                            platform::path_from_utf8(std::string(c.values[k]) + ".json");
      const std::string file_text = platform::path_text(file);
      if (!files_.exists(file)) {
        out_ << "      ERROR: Parameter file not found at '" << file_text
             << "'. Skipping this combination.\n";
        auto written = progress(c.name, c.index + 1, c.total, c.percentage,
                                "Parameter file not found: " + file_text);
        if (!written) return std::unexpected(written.error());
        return Step::Skip;
      }
      const auto parameter = read_json(files_, file);
      if (!parameter) return std::unexpected(parameter.error());
      applied_keys.push_back(key);
      if (auto applied = model_editing::apply_system_parameter(variant, key, *parameter);
          !applied) {
        Json details = {{"param_key", key}, {"param_file", file_text}};
        auto logged = log_->error(
            "MERGE_FAILED", "Failed to merge " + key + " parameter: " + applied.error().message,
            c.position(), std::move(details));
        if (!logged) return std::unexpected(logged.error());
        return std::unexpected(applied.error());
      }
    }
    return Step::Continue;
  }

  common::Result<void> finish_and_write(const Combination& c, Json& variant,
                                        const std::vector<std::string>& applied_keys) {
    if (auto announced = announce_weather_file(*c.group.object, base_, files_, out_);
        !announced) {
      return announced;
    }
    if (c.group.zone_allocations) {
      auto allocated = apply_zone_allocations(variant, *c.group.zone_allocations, base_, files_);
      if (!allocated) return allocated;
    }
    model_editing::finish_variant(variant, applied_keys);
    const fs::path result_dir = output_dir_ / platform::path_from_utf8(result_directory_name(
                                                  config_name_, c.group.name, c.index));
    if (auto created = files_.create_directories(result_dir); !created) return created;
    const fs::path variant_file =
        result_dir / platform::path_from_utf8(variant_file_name(c.group.name));
    // Renamed into place: a rerun into the same output directory that fails while writing
    // keeps the earlier run's variant whole instead of leaving it cut short.
    if (auto written = files_.replace(variant_file, json_text::to_pretty_json(variant));
        !written) {
      return written;
    }
    if (options_.json_only) {
      out_ << "JSON-ONLY MODE: Skipping simulation for " << c.name << '\n';
      return log_->event("JSON_ONLY_SKIP", "Simulation skipped in JSON-only mode", c.position());
    }
    return simulate(c, variant, result_dir, variant_file);
  }

  common::Result<void> simulate(const Combination& c, const Json& variant,
                                const fs::path& result_dir, const fs::path& variant_file) {
    auto weather = resolve_weather_file(*c.group.object, base_, files_, out_);
    if (!weather) return std::unexpected(weather.error());
    if (weather->kind == WeatherLookup::Kind::NotNamed) {
      out_ << "No weather file specified for " << c.name << ", skipping simulation\n";
      Json details = {{"combination", c.index}, {"group_name", c.group.name}};
      return log_->error("WEATHER_FILE_NOT_FOUND", "No weather file specified for this combination",
                         c.position(), std::move(details));
    }
    if (weather->kind == WeatherLookup::Kind::Skipped) return {};
    const WrapperQuery query{base_, wrapper_name(c.group.parameters, c.values), c.name,
                             weather->weather_file};
    auto wrapper = resolve_wrapper_flags(query, files_, out_);
    if (!wrapper) return std::unexpected(wrapper.error());
    const auto workspace = workspace_of_base();
    if (!workspace) return std::unexpected(workspace.error());
    if (auto written = simulation_progress(c, false); !written) return written;
    const std::string starting = "[SIMULATION] Starting simulation for " + c.name;
    out_ << starting << '\n';
    emit_diagnostic(starting);
    const std::string weather_text = strip_verbatim_prefix(platform::path_text(weather->path));
    const std::string result_text = platform::path_text(result_dir);
    const SimulationRequest request{variant,        result_text, weather_text,
                                    wrapper->flags, *workspace,  config_name_};
    auto simulated = run_simulation(
        request, EngineServices{out_, files_, services_.processes, services_.engine});
    if (!simulated) {
      Json details = {{"weather_file", weather_text},
                      {"model_file", platform::path_text(variant_file)}};
      auto logged = log_->error("SIMULATION_FAILED",
                                "Simulation failed: " + simulated.error().message, c.position(),
                                std::move(details));
      if (!logged) return logged;
      return simulated;
    }
    if (auto written = simulation_progress(c, true); !written) return written;
    return log_->event("SIMULATION_SUCCESS", "Simulation completed successfully", c.position());
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

  common::Result<void> progress(const std::string& model, std::uint64_t current,
                                std::uint64_t total, double percentage, std::string status) {
    const ProgressUpdate update{options_.job_id,   current,        total, percentage, model,
                                std::move(status), utc_timestamp()};
    return progress_files_.write(update, out_);
  }

  common::Result<void> simulation_progress(const Combination& c, bool finished) {
    const std::string& job = options_.job_id;
    const SimulationProgress snapshot =
        finished ? SimulationProgress{job, c.name, 8760, 8760, 100.0, "December", 31, 23.0,
                                      "Simulation completed successfully", utc_timestamp()}
                 : SimulationProgress{job, c.name, 0, 8760, 0.0, "January", 1, 0.0,
                                      "Starting simulation", utc_timestamp()};
    return progress_files_.write_simulation(snapshot);
  }

  const BatchOptions& options_;
  const fs::path& base_;
  const fs::path& output_dir_;
  const BatchServices& services_;
  const Files& files_;
  std::ostream& out_;
  ProgressFiles progress_files_;
  std::string config_name_;
  std::optional<BatchLog> log_;  // named after the configuration, so made once it is known
};

}  // namespace

common::Result<void> run_native_batch(const BatchOptions& options, const BatchServices& services) {
  BatchRun run(options, services);
  auto outcome = run.run();
  services.out.flush();
  return outcome;
}

}  // namespace native_runner
