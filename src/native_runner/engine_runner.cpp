#include "native_runner/engine_runner.h"

#include <ostream>
#include <utility>
#include <vector>

#include "json/json_writer.h"
#include "common/utf8.h"
#include "platform/file_system.h"
#include "platform/process.h"

namespace native_runner {
namespace {

constexpr std::string_view kVerbatimPrefix = "\\\\?\\";
constexpr std::string_view kTag = "[NATIVE_RUNNER] ";
constexpr std::string_view kFailurePrefix = "Simulation failed. Exit code: ";
constexpr std::string_view kTimeLimitPrefix = "the engine was stopped after ";

// The shell under Windows cannot open a verbatim path, so the script path is built without it.
std::filesystem::path engine_script(const std::filesystem::path& workspace) {
  const std::string root = strip_verbatim_prefix(platform::path_text(workspace));
  return platform::path_from_utf8(root) / "src-tauri" / "resources" / "run.sh";
}

std::string option_list(const std::vector<std::string>& options) {
  std::string list = "[";
  for (std::size_t i = 0; i < options.size(); ++i) {
    if (i > 0) list += ", ";
    list += '"' + options[i] + '"';
  }
  return list + "]";
}

std::string exit_code_text(const std::optional<std::int32_t>& code) {
  return code ? "Some(" + std::to_string(*code) + ")" : std::string("None");
}

// The verdict's first line, then both streams as text.
common::Error failure(const std::string& verdict, const EngineOutcome& ended) {
  return common::Error(verdict + "\nStdout: " + common::to_valid_utf8_lossy(ended.standard_output) +
                       "\nStderr: " + common::to_valid_utf8_lossy(ended.standard_error));
}

// The workspace reaches the engine as given, verbatim prefix and all; only the script path that
// the shell has to open is built without it.
platform::ProcessRequest engine_request(const ShellCommand& shell,
                                        std::vector<std::string> fixed_arguments,
                                        const std::vector<std::string>& options,
                                        const SimulationRequest& simulation) {
  platform::ProcessRequest request{shell.program,
                                   shell.args,
                                   {{"WORKSPACE", platform::path_text(simulation.workspace)},
                                    {"ENSEMBLE_MODEL_NAME", std::string(simulation.model_name)},
                                    {"ENSEMBLE_RESULT_DIR", std::string(simulation.result_dir)}},
                                   simulation.time_limit};
  request.arguments.insert(request.arguments.end(), fixed_arguments.begin(), fixed_arguments.end());
  request.arguments.insert(request.arguments.end(), options.begin(), options.end());
  return request;
}

}  // namespace

std::string strip_verbatim_prefix(std::string_view path_text) {
  while (path_text.starts_with(kVerbatimPrefix)) path_text.remove_prefix(kVerbatimPrefix.size());
  return std::string(path_text);
}

bool is_engine_failure(const common::Error& error) {
  return error.message.starts_with(kFailurePrefix) || error.message.starts_with(kTimeLimitPrefix);
}

std::string seconds_text(std::chrono::milliseconds duration) {
  const auto count = duration.count();
  std::string text = std::to_string(count / 1000);
  if (const auto millis = count % 1000; millis != 0) {
    std::string fraction = std::to_string(1000 + millis).substr(1);
    while (fraction.back() == '0') fraction.pop_back();
    text += "." + fraction;
  }
  return text;
}

EngineHost default_engine_host() {
  return EngineHost{platform::temp_directory(), default_shell_search()};
}

common::Result<EngineOutcome> run_simulation(const SimulationRequest& request,
                                             const EngineServices& services) {
  std::ostream& out = services.out;
  out << kTag << "Using hybrid approach with external process execution\n"
      << kTag << "Weather file: " << request.weather_file << '\n'
      << kTag << "Output path: " << request.output_path << '\n';

  auto directory = request.model_directory();
  if (!directory) return std::unexpected(directory.error());
  // Created, never overwritten: a name that is already taken is not ours to write through. The
  // directory is the run's own, so a file already there can only be a leftover; it goes first
  // rather than end the batch.
  const std::filesystem::path model_file = *directory / platform::path_from_utf8(kModelFileName);
  (void)services.files.remove(model_file);
  if (auto written = services.files.create_new(model_file, json_text::to_pretty_json(request.model));
      !written) {
    return std::unexpected(written.error());
  }
  const std::vector<std::string> options = cli_flags_to_args(request.flags);

  const std::filesystem::path script = engine_script(request.workspace);
  const std::string script_text = platform::path_text(script);
  if (!services.files.exists(script)) return common::fail("run.sh not found at: " + script_text);
  auto shell = locate_git_bash(services.host.shell_search, services.files, services.processes);
  if (!shell) return common::fail("Shell command error: " + shell.error().message);

  const std::string model_text = platform::path_text(model_file);
  const platform::ProcessRequest process = engine_request(
      *shell,
      {script_text, model_text, strip_verbatim_prefix(request.weather_file),
       std::string(request.config_name)},
      options, request);
  out << kTag << "Executing: " << shell->program << ' ' << script_text << ' ' << model_text << ' '
      << request.weather_file << ' ' << request.config_name << ' ' << option_list(options)
      << '\n';
  // The engine may run for a long time; whoever watches the console should see what started.
  out.flush();
  auto outcome = services.processes.run(process, services.stop);
  if (!outcome) return std::unexpected(outcome.error());
  (void)services.files.remove(model_file);
  if (outcome->cancelled) return common::fail(std::string(kEngineRunInterrupted));

  EngineOutcome ended{std::move(outcome->standard_output), std::move(outcome->standard_error), {}};
  if (outcome->timed_out) {
    ended.verdict = std::unexpected(failure(std::string(kTimeLimitPrefix) +
                                                seconds_text(*request.time_limit) +
                                                " s (time limit)",
                                            ended));
    return ended;
  }
  if (outcome->exit_code != 0) {
    ended.verdict = std::unexpected(
        failure(std::string(kFailurePrefix) + exit_code_text(outcome->exit_code), ended));
    return ended;
  }
  out << kTag << "Simulation completed successfully\n";
  return ended;
}

}  // namespace native_runner
