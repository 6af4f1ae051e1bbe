#pragma once

#include <stop_token>

#include "common/error.h"
#include "platform/process.h"

namespace native_runner {

// Starts a program and waits for it: the engine script and the shell look-up both go through
// here, so tests can answer with the outcome they need and record exact argument vectors.
// Implementations keep no state between calls (const), so concurrent runs need no locking.
// A stop request ends the program with everything it started; the outcome then says cancelled.
class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  virtual common::Result<platform::ProcessOutcome> run(const platform::ProcessRequest& request,
                                                       std::stop_token stop) const = 0;
};

// Real child processes through platform::run_process. Stateless.
const ProcessRunner& system_process_runner();

}  // namespace native_runner
