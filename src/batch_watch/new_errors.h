#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "batch_watch/job_fold.h"

namespace batch_watch {

// Which errors of a summary the plain output has not printed yet. The summary lists the errors
// of every job merged by time, so a shard's error can arrive before one already printed, and a
// job that starts again drops its old errors: a position in that list says nothing about what
// was printed. Each error is told apart by its job, time, code, model and message.
class NewErrors {
 public:
  // The errors of `errors` not returned before, in their order.
  std::vector<const ErrorEntry*> take(const std::vector<ErrorEntry>& errors);

 private:
  std::unordered_set<std::string> shown_;
};

}  // namespace batch_watch
