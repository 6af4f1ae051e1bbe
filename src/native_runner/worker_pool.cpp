#include "native_runner/worker_pool.h"

#include <utility>

namespace native_runner {

WorkerPool::WorkerPool(unsigned workers) : workers_(workers) {
  threads_.reserve(workers);
  for (unsigned i = 0; i < workers; ++i) {
    threads_.emplace_back([this, i] { work(i); });
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
  changed_.wait(lock, [this] { return pending_.empty() && busy_ < workers_; });
}

void WorkerPool::submit(std::function<void()> task) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return pending_.empty() && busy_ < workers_; });
  pending_.emplace_back([task = std::move(task)](unsigned) { task(); });
  // Counted as busy from now on, so the next submit waits for a thread that is really free.
  ++busy_;
  changed_.notify_all();
}

bool WorkerPool::offer(NumberedTask& task, std::size_t backlog) {
  {
    std::lock_guard lock(mutex_);
    if (pending_.size() >= backlog) return false;
    pending_.push_back(std::move(task));
    ++busy_;
  }
  changed_.notify_all();
  return true;
}

void WorkerPool::wait_idle() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return pending_.empty() && busy_ == 0; });
}

void WorkerPool::work(unsigned worker) {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !pending_.empty() || closing_; });
    if (pending_.empty()) return;
    NumberedTask task = std::move(pending_.front());
    pending_.pop_front();
    changed_.notify_all();
    lock.unlock();
    task(worker);
    lock.lock();
    --busy_;
    changed_.notify_all();
  }
}

}  // namespace native_runner
