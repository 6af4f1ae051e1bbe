#include "native_runner/worker_pool.h"

#include <utility>

namespace native_runner {

WorkerPool::WorkerPool(unsigned workers) : workers_(workers) {
  threads_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) {
    threads_.emplace_back([this] { work(); });
  }
}

WorkerPool::~WorkerPool() {
  wait_idle();
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
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

void WorkerPool::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return pending_.has_value() || closing_; });
    if (!pending_) return;
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
