#include "native_runner/ordered_builds.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>

namespace native_runner {
namespace {

// Builds of uneven length on 1 to 3 pool threads and the adding thread: the lines and records
// come out in the order added whoever built them, up to and including the first failure in
// that order, and nothing after it.
TEST(OrderedBuilds, ReplaysInOrderUpToTheFirstFailure) {
  struct Row {
    unsigned pool_threads;
    int builds;
    std::optional<int> failing;
  };
  const Row rows[] = {{1, 200, std::nullopt}, {3, 200, std::nullopt}, {1, 200, 0},
                      {1, 200, 57},           {3, 200, 133},          {2, 200, 199}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.pool_threads) + " pool threads, failing " +
                 (row.failing ? std::to_string(*row.failing) : "none"));
    WorkerPool pool(row.pool_threads);
    std::ostringstream out;
    std::mutex mutex;
    std::set<unsigned> threads;
    common::Result<void> outcome;
    {
      OrderedBuilds builds(pool, out);
      for (int i = 0; i < row.builds && outcome; ++i) {
        outcome = builds.add([&, i](CombinationOutput& output, unsigned thread) {
          {
            std::scoped_lock lock(mutex);
            threads.insert(thread);
          }
          if (i % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(300));
          output.out() << "line " << i << '\n';
          if (row.failing && i == *row.failing) {
            return common::Result<void>(common::fail("build " + std::to_string(i)));
          }
          return output.record([i](std::ostream& o) {
            o << "record " << i << '\n';
            return common::Result<void>{};
          });
        });
      }
      if (outcome) outcome = builds.finish();
    }
    std::string expected;
    const int last = row.failing.value_or(row.builds - 1);
    for (int i = 0; i <= last; ++i) {
      expected += "line " + std::to_string(i) + '\n';
      if (i != row.failing) expected += "record " + std::to_string(i) + '\n';
    }
    EXPECT_EQ(out.str(), expected);
    EXPECT_EQ(outcome.has_value(), !row.failing);
    if (row.failing) {
      EXPECT_EQ(outcome.error().message, "build " + std::to_string(*row.failing));
    }
    for (unsigned thread : threads) EXPECT_LE(thread, row.pool_threads);
    if (!row.failing) {
      EXPECT_GE(threads.size(), 2u) << "the adding thread and the pool both build";
    }
  }
}

}  // namespace
}  // namespace native_runner
