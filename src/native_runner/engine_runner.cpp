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
  return common::Error("Simulation failed. Exit code: " + exit_code_text(outcome.exit_code) +
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
      shell.program, shell.args,
      std::pair{std::string("WORKSPACE"), platform::path_text(workspace)}};
  request.arguments.insert(request.arguments.end(), fixed_arguments.begin(), fixed_arguments.end());
  request.arguments.insert(request.arguments.end(), options.begin(), options.end());
  return request;
}

}  // namespace

std::string strip_verbatim_prefix(std::string_view path_text) {
  while (path_text.starts_with(kVerbatimPrefix)) path_text.remove_prefix(kVerbatimPrefix.size());
  return std::string(path_text);
}

EngineEnvironment default_engine_environment(std::ostream& out,
                                             BatchTempDirectory& temp_directory) {
  return EngineEnvironment{out, temp_directory, default_shell_search()};
}

common::Result<void> run_simulation(const json_text::Json& model, std::string_view output_path,
                                    std::string_view weather_file, CliFlags flags,
                                    const std::filesystem::path& workspace,
                                    std::string_view config_name, const EngineEnvironment& env) {
  env.out << kTag << "Using hybrid approach with external process execution\n"
          << kTag << "Weather file: " << weather_file << '\n'
          << kTag << "Output path: " << output_path << '\n';

  const auto model_directory = env.temp_directory.path();
  if (!model_directory) return std::unexpected(model_directory.error());
  const std::filesystem::path model_file = *model_directory / "temp_model.json";
  if (auto written = platform::create_new_file(model_file, json_text::to_pretty_json(model));
      !written) {
    return std::unexpected(written.error());
  }
  const std::vector<std::string> options = cli_flags_to_args(flags);

  const std::filesystem::path script = engine_script(workspace);
  const std::string script_text = platform::path_text(script);
  if (!platform::exists(script)) return common::fail("run.sh not found at: " + script_text);
  auto shell = locate_git_bash(env.shell_search);
  if (!shell) return common::fail("Shell command error: " + shell.error().message);

  const std::string model_text = platform::path_text(model_file);
  const platform::ProcessRequest request = engine_request(
      *shell,
      {script_text, model_text, strip_verbatim_prefix(weather_file), std::string(config_name)},
      options, workspace);
  env.out << kTag << "Executing: " << shell->program << ' ' << script_text << ' ' << model_text
          << ' ' << weather_file << ' ' << config_name << ' ' << option_list(options) << '\n';
  // The engine may run for a long time; whoever watches the console should see what started.
  env.out.flush();
  auto outcome = platform::run_process(request);
  if (!outcome) return std::unexpected(outcome.error());
  (void)platform::remove_file(model_file);

  if (outcome->exit_code != 0) return std::unexpected(failure(*outcome));
  env.out << kTag << "Simulation completed successfully\n";
  return {};
}

}  // namespace native_runner
