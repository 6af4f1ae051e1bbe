#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace native_runner {

// A fixed number of threads that run the tasks one submitter hands over, each task on the next
// free thread. Used by the batch driver and the study table only: the modules below them never
// see a thread.
class WorkerPool {
 public:
  // Told which of the pool's threads runs it, from 0 to the pool's size less 1.
  using NumberedTask = std::function<void(unsigned worker)>;

  explicit WorkerPool(unsigned workers);
  // Waits for every task handed over, then ends the threads.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  unsigned size() const { return workers_; }

  // Returns once a thread is free, so that the submitter can decide, with the latest news of
  // the tasks that finished, whether to hand over another.
  void wait_for_free_worker();
  // Hands the task to a free thread, waiting for one first.
  void submit(std::function<void()> task);
  // Queues the task without waiting, unless `backlog` tasks already wait for a thread: then
  // the task is handed back untouched, for the submitter to run itself. A submitter that also
  // does the work keeps every thread busy without ever waiting for one.
  bool offer(NumberedTask& task, std::size_t backlog);
  // Returns once every task handed over has finished.
  void wait_idle();

 private:
  void work(unsigned worker);

  const unsigned workers_;
  std::mutex mutex_;
  // A plain flag and condition variable rather than a stop token: with the MinGW runtime, a
  // stop callback's removal can miss its wake-up and hang the batch at its end.
  std::condition_variable changed_;
  std::deque<NumberedTask> pending_;
  unsigned busy_ = 0;  // tasks handed over and not yet finished, waiting ones included
  bool closing_ = false;
  std::vector<std::jthread> threads_;  // last: ended first, while the rest is still there
};

}  // namespace native_runner
