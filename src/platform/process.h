#pragma once

#include <chrono>
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
  // Variables added to the inherited environment, each replacing an inherited one of the same
  // name (Windows compares names without regard to case). When a name appears twice, the later
  // value is the one the child sees.
  std::vector<std::pair<std::string, std::string>> added_variables = {};
  // The longest the child may run. Past it, the child and everything it started are ended as a
  // stop request ends them, and the outcome says timed_out. None: no limit.
  std::optional<std::chrono::milliseconds> time_limit = {};
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
  // True when the time limit ended the child; as with a stop, exit_code says nothing then. Only
  // the first of the two that arrives is reported: a stop during the end of a timed-out run
  // leaves it timed out.
  bool timed_out = false;
};

// Starts the program with empty standard input and the inherited current directory, collects
// both output streams in full and waits until it ends: until the child has ended and both
// streams are closed (a process it started may hold them open longer). Fails with the operating
// system's error text when the program cannot be started.
//
// A stop request, or the time limit passing, ends the child together with every process it
// started: on POSIX the child leads its own process group, which gets SIGTERM and, after a short
// grace period, SIGKILL; on Windows the child runs in a job object that is terminated. Whatever
// the streams carried until then is still collected, the child is reaped, and the outcome says
// why it ended. When stop was requested before the call, nothing is started. A stop that is to
// end a running child is requested through platform::request_stop (platform/stop_request.h),
// which Windows needs to see it at once. Without a time limit and with a token that can never be
// stopped (the default), the child is started as a plain child: no group, no job.
common::Result<ProcessOutcome> run_process(const ProcessRequest& request,
                                           std::stop_token stop = {});

}  // namespace platform
