#include "native_runner/worker_pool.h"

#include <utility>

namespace native_runner {

WorkerPool::WorkerPool(unsigned workers) : workers_(workers) {
  threads_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) {
    threads_.emplace_back([this](std::stop_token stop) { work(stop); });
  }
}

WorkerPool::~WorkerPool() {
  wait_idle();
  for (auto& thread : threads_) thread.request_stop();
  threads_.clear();
}

void WorkerPool::wait_for_free_worker() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !pending_ && busy_ < workers_; });
}

void WorkerPool::submit(std::function<void()> task) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !pending_ && busy_ < workers_; });
  pending_ = std::move(task);
  // Counted as busy from now on, so the next submit waits for a thread that is really free.
  ++busy_;
  changed_.notify_all();
}

void WorkerPool::wait_idle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !pending_ && busy_ == 0; });
}

void WorkerPool::work(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (changed_.wait(lock, stop, [this] { return pending_.has_value(); })) {
    std::function<void()> task = std::move(*pending_);
    pending_.reset();
    changed_.notify_all();
    lock.unlock();
    task();
    lock.lock();
    --busy_;
    changed_.notify_all();
  }
}

}  // namespace native_runner
