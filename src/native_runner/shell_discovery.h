#pragma once

#include <string>
#include <vector>

#include "common/error.h"
#include "native_runner/files.h"
#include "native_runner/process_runner.h"
#include "platform/process.h"

namespace native_runner {

// How to start the shell that runs the engine script.
struct ShellCommand {
  std::string program;
  std::vector<std::string> args;  // placed before the script path; always empty when located
};

// Where to look for the shell: fixed places first, then the system look-up command
// ("where bash" on Windows, "which bash" elsewhere).
struct ShellSearch {
  std::vector<std::string> fixed_places;
  platform::ProcessRequest lookup;
};

ShellSearch default_shell_search();

// The first fixed place that exists, else the first line printed by the look-up when it exists.
// Fails with the not-found text that ends with the download address.
common::Result<ShellCommand> locate_git_bash(const ShellSearch& search, const Files& files,
                                             const ProcessRunner& processes);

}  // namespace native_runner
