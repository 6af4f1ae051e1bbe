#pragma once

#include <iosfwd>

#include "native_runner/engine_runner.h"
#include "native_runner/files.h"
#include "native_runner/process_runner.h"

namespace native_runner {

// Everything a batch reaches outside its own memory. Tests pass an in-memory file store, a
// failure-injecting wrapper or a fake engine here.
struct BatchServices {
  std::ostream& out;  // every console line of the batch
  const Files& files;
  const ProcessRunner& processes;
  EngineHost engine;
};

// The real files, child processes and engine host.
BatchServices default_batch_services(std::ostream& out);

}  // namespace native_runner
