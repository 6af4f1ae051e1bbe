#include "native_runner/process_runner.h"

namespace native_runner {
namespace {

class SystemProcessRunner final : public ProcessRunner {
 public:
  common::Result<platform::ProcessOutcome> run(
      const platform::ProcessRequest& request) const override {
    return platform::run_process(request);
  }
};

}  // namespace

const ProcessRunner& system_process_runner() {
  static const SystemProcessRunner runner;
  return runner;
}

}  // namespace native_runner
