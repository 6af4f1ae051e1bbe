#include "native_runner/shell_discovery.h"

#include <filesystem>
#include <optional>
#include <string_view>

#include "common/utf8.h"
#include "platform/file_system.h"
#include "platform/shell_locations.h"

namespace native_runner {
namespace {

constexpr std::string_view kNotFound =
    "Git Bash not found. Please install Git for Windows to run batch simulations.\n\n"
    "Download from: https://git-scm.com/download/win";

bool exists_at(const Files& files, std::string_view text) {
  return files.exists(platform::path_from_utf8(text));
}

std::string_view trim(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n\v\f";
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

// The look-up's first line only: a later line naming a shell that exists is deliberately not
// tried, so that the choice stays the one the system's own search order makes.
std::optional<std::string> shell_from_lookup(const ShellSearch& search, const Files& files,
                                             const ProcessRunner& processes) {
  auto outcome = processes.run(search.lookup, {});
  if (!outcome || outcome->exit_code != 0) return std::nullopt;
  const std::string output = common::to_valid_utf8_lossy(outcome->standard_output);
  if (output.empty()) return std::nullopt;
  std::string_view line = std::string_view(output).substr(0, output.find('\n'));
  if (line.ends_with('\r')) line.remove_suffix(1);
  line = trim(line);
  if (line.empty() || !exists_at(files, line)) return std::nullopt;
  return std::string(line);
}

}  // namespace

ShellSearch default_shell_search() {
  return ShellSearch{platform::default_shell_places(), platform::shell_lookup_request()};
}

common::Result<ShellCommand> locate_git_bash(const ShellSearch& search, const Files& files,
                                             const ProcessRunner& processes) {
  for (const std::string& place : search.fixed_places) {
    if (exists_at(files, place)) return ShellCommand{place, {}};
  }
  if (auto found = shell_from_lookup(search, files, processes)) {
    return ShellCommand{std::move(*found), {}};
  }
  return common::fail(std::string(kNotFound));
}

}  // namespace native_runner
