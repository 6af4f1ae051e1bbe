#pragma once

#include <functional>
#include <mutex>
#include <vector>

#include "native_runner/process_runner.h"

namespace test_support {

// Records every request and answers each with what `answer` returns (by default a clean exit
// with no output). The answer may look at the request, e.g. to read the model file the engine
// was handed before the runner removes it.
class FakeProcessRunner final : public native_runner::ProcessRunner {
 public:
  using Answer =
      std::function<common::Result<platform::ProcessOutcome>(const platform::ProcessRequest&)>;

  FakeProcessRunner() = default;
  explicit FakeProcessRunner(Answer answer) : answer_(std::move(answer)) {}

  // A stop requested before the call cancels it, as a real child would never start.
  common::Result<platform::ProcessOutcome> run(const platform::ProcessRequest& request,
                                               std::stop_token stop) const override {
    {
      std::scoped_lock lock(mutex_);
      requests_.push_back(request);
    }
    if (stop.stop_requested()) return platform::ProcessOutcome{{}, "", "", true};
    if (answer_) return answer_(request);
    return platform::ProcessOutcome{0, "", ""};
  }

  std::vector<platform::ProcessRequest> requests() const {
    std::scoped_lock lock(mutex_);
    return requests_;
  }

 private:
  Answer answer_;
  mutable std::mutex mutex_;
  mutable std::vector<platform::ProcessRequest> requests_;
};

}  // namespace test_support
