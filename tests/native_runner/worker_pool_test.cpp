#include "native_runner/worker_pool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace native_runner {
namespace {

// Every task runs once, never more than the pool's size at a time, and the pool's end waits for
// them. Many short pools in a row: the end of a pool once hung now and then under Windows runtimes
// (a lost wake-up while the threads were told to stop), so a hang here is the failure.
TEST(WorkerPool, RunsEveryTaskWithinItsSizeAndEnds) {
  for (unsigned workers : {1u, 3u}) {
    for (int round = 0; round < 300; ++round) {
      std::atomic<int> ran{0};
      std::atomic<int> running{0};
      std::atomic<int> most{0};
      {
        WorkerPool pool(workers);
        for (int task = 0; task < 4; ++task) {
          pool.submit([&] {
            const int now = ++running;
            int seen = most.load();
            while (now > seen && !most.compare_exchange_weak(seen, now)) {
            }
            if (round % 100 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            --running;
            ++ran;
          });
        }
      }
      ASSERT_EQ(ran, 4) << workers << " workers, round " << round;
      ASSERT_LE(most, static_cast<int>(workers)) << workers << " workers, round " << round;
    }
  }
}

}  // namespace
}  // namespace native_runner
