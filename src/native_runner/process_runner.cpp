#include "native_runner/process_runner.h"

#include <utility>

namespace native_runner {
namespace {

class SystemProcessRunner final : public ProcessRunner {
 public:
  common::Result<platform::ProcessOutcome> run(const platform::ProcessRequest& request,
                                               std::stop_token stop) const override {
    return platform::run_process(request, std::move(stop));
  }
};

}  // namespace

const ProcessRunner& system_process_runner() {
  static const SystemProcessRunner runner;
  return runner;
}

}  // namespace native_runner
