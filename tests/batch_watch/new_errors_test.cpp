#include "batch_watch/new_errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace batch_watch {
namespace {

ErrorEntry error(const std::string& job, const std::string& second, const std::string& model) {
  return ErrorEntry{"2026-12-09T10:00:" + second + "Z",
                    std::stoi(second),
                    job,
                    "SIMULATION_FAILED",
                    model,
                    "Simulation failed: x"};
}

// What the plain output prints at each read, as the merged list of every job's errors changes.
TEST(NewErrors, EachErrorOnceWhateverItsPlaceInTheMergedList) {
  const struct {
    std::vector<ErrorEntry> errors;
    std::vector<std::string> printed;  // models of the errors new at this read
  } kReads[] = {
      {{error("shard_0", "05", "g_0")}, {"g_0"}},
      // A shard whose error is older than one already printed: it lands before it in the list.
      {{error("shard_1", "03", "g_1"), error("shard_0", "05", "g_0")}, {"g_1"}},
      {{error("shard_1", "03", "g_1"), error("shard_0", "05", "g_0")}, {}},
      // shard_0 started again: its old error is gone from the list, its new one is printed.
      {{error("shard_1", "03", "g_1"), error("shard_0", "09", "g_0")}, {"g_0"}},
      // The same model failing in another job is another error.
      {{error("shard_1", "03", "g_1"), error("shard_0", "09", "g_0"),
        error("shard_1", "09", "g_0")},
       {"g_0"}},
  };
  NewErrors errors;
  for (const auto& read : kReads) {
    std::vector<std::string> printed;
    for (const ErrorEntry* fresh : errors.take(read.errors)) printed.push_back(fresh->model_name);
    EXPECT_EQ(printed, read.printed);
  }
}

}  // namespace
}  // namespace batch_watch
