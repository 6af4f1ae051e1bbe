#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace native_runner {

// A fixed number of threads that run the tasks one submitter hands over, each task on the next
// free thread. Used by the batch driver only: the modules below it never see a thread.
class WorkerPool {
 public:
  explicit WorkerPool(unsigned workers);
  // Waits for every task handed over, then ends the threads.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Returns once a thread is free, so that the submitter can decide, with the latest news of
  // the tasks that finished, whether to hand over another.
  void wait_for_free_worker();
  // Hands the task to a free thread, waiting for one first.
  void submit(std::function<void()> task);
  // Returns once every task handed over has finished.
  void wait_idle();

 private:
  void work();

  const unsigned workers_;
  std::mutex mutex_;
  // A plain flag and condition variable rather than a stop token: with the MinGW runtime, a
  // stop callback's removal can miss its wake-up and hang the batch at its end.
  std::condition_variable changed_;
  std::optional<std::function<void()>> pending_;
  unsigned busy_ = 0;
  bool closing_ = false;
  std::vector<std::jthread> threads_;  // last: ended first, while the rest is still there
};

}  // namespace native_runner
