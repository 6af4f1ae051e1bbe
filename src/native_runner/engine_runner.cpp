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

common::Error failure(const platform::ProcessOutcome& outcome) {
  return common::Error(std::string(kFailurePrefix) + exit_code_text(outcome.exit_code) +
                       "\nStdout: " + common::to_valid_utf8_lossy(outcome.standard_output) +
                       "\nStderr: " + common::to_valid_utf8_lossy(outcome.standard_error));
}

// The workspace reaches the engine as given, verbatim prefix and all; only the script path that
// the shell has to open is built without it.
platform::ProcessRequest engine_request(const ShellCommand& shell,
                                        std::vector<std::string> fixed_arguments,
                                        const std::vector<std::string>& options,
                                        const std::filesystem::path& workspace) {
  platform::ProcessRequest request{
      shell.program, shell.args, {{std::string("WORKSPACE"), platform::path_text(workspace)}}};
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
  return error.message.starts_with(kFailurePrefix);
}

EngineHost default_engine_host() {
  return EngineHost{platform::temp_directory(), default_shell_search()};
}

common::Result<void> run_simulation(const SimulationRequest& request,
                                    const EngineServices& services) {
  std::ostream& out = services.out;
  out << kTag << "Using hybrid approach with external process execution\n"
      << kTag << "Weather file: " << request.weather_file << '\n'
      << kTag << "Output path: " << request.output_path << '\n';

  // Created, never overwritten: a name that is already taken is not ours to write through. The
  // directory is the batch's own, so a file already there is an earlier run's whose removal failed
  // (on Windows, while something still held it open); it goes first rather than end the batch.
  const std::filesystem::path model_file = request.model_directory / "temp_model.json";
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
      options, request.workspace);
  out << kTag << "Executing: " << shell->program << ' ' << script_text << ' ' << model_text << ' '
      << request.weather_file << ' ' << request.config_name << ' ' << option_list(options)
      << '\n';
  // The engine may run for a long time; whoever watches the console should see what started.
  out.flush();
  auto outcome = services.processes.run(process, services.stop);
  if (!outcome) return std::unexpected(outcome.error());
  (void)services.files.remove(model_file);
  if (outcome->cancelled) return common::fail(std::string(kEngineRunInterrupted));

  if (outcome->exit_code != 0) return std::unexpected(failure(*outcome));
  out << kTag << "Simulation completed successfully\n";
  return {};
}

}  // namespace native_runner
