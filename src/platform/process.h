#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "common/error.h"

namespace platform {

struct ProcessRequest {
  // Path of the program, or a bare name that is looked up on the search path.
  std::string program;
  // Arguments after the program; each reaches the child as one argument, spaces and quotes intact.
  std::vector<std::string> arguments;
  // One variable added to (or replacing one in) the inherited environment.
  std::optional<std::pair<std::string, std::string>> added_variable;
};

struct ProcessOutcome {
  // The exit status as a signed 32-bit number; empty when the child ended without one (a POSIX
  // child killed by a signal).
  std::optional<std::int32_t> exit_code;
  std::string standard_output;
  std::string standard_error;
  // True when a stop request ended the child before it finished on its own; exit_code then says
  // nothing about the engine's own verdict.
  bool cancelled = false;
};

// Starts the program with empty standard input and the inherited current directory, collects
// both output streams in full and waits, without a time limit, until it ends. Fails with the
// operating system's error text when the program cannot be started.
//
// A stop request ends the child together with every process it started: on POSIX
// the child leads its own process group, which gets SIGTERM and, after a short grace period,
// SIGKILL; on Windows the child runs in a job object that is terminated. Whatever the streams
// carried until then is still collected, the child is reaped, and the outcome is marked
// cancelled. When stop was requested before the call, nothing is started. A token that can
// never be stopped (the default) starts the child as a plain child: no group, no job.
common::Result<ProcessOutcome> run_process(const ProcessRequest& request,
                                           std::stop_token stop = {});

}  // namespace platform
