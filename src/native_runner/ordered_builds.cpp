#include "native_runner/ordered_builds.h"

#include <chrono>
#include <new>
#include <system_error>
#include <utility>

#include "platform/os_error.h"

namespace native_runner {

OrderedBuilds::OrderedBuilds(WorkerPool& pool, std::ostream& out)
    : pool_(pool),
      out_(out),
      backlog_(2 * std::size_t{pool.size()}),
      most_in_flight_(8 * (std::size_t{pool.size()} + 1)) {}

OrderedBuilds::~OrderedBuilds() {
  abandoned_ = true;
  pool_.wait_idle();
}

common::Result<void> OrderedBuilds::add(Build build) {
  while (in_flight_.size() >= most_in_flight_) {
    if (auto settled = settle_oldest(); !settled) return abandon(settled);
  }
  auto output = std::make_shared<CombinationOutput>(nullptr);
  auto task = std::make_shared<std::packaged_task<common::Result<void>(unsigned)>>(
      [this, build = std::move(build), output](unsigned thread) {
        // Never replayed: the batch has already failed at an earlier combination.
        if (abandoned_) return common::Result<void>{};
        return build(*output, thread);
      });
  in_flight_.push_back(InFlight{output, task->get_future()});
  WorkerPool::NumberedTask handed = [task](unsigned worker) { (*task)(worker + 1); };
  if (!pool_.offer(handed, backlog_)) (*task)(0);
  if (auto settled = settle_finished(); !settled) return abandon(settled);
  return {};
}

common::Result<void> OrderedBuilds::finish() {
  while (!in_flight_.empty()) {
    if (auto settled = settle_oldest(); !settled) return abandon(settled);
  }
  return {};
}

common::Result<void> OrderedBuilds::settle_oldest() {
  InFlight oldest = std::move(in_flight_.front());
  in_flight_.pop_front();
  common::Result<void> outcome;
  try {
    outcome = oldest.done.get();
  } catch (const std::bad_alloc&) {
    outcome =
        std::unexpected(platform::os_error(std::make_error_code(std::errc::not_enough_memory)));
  }
  if (auto replayed = oldest.output->replay(out_); !replayed) return replayed;
  return outcome;
}

common::Result<void> OrderedBuilds::settle_finished() {
  while (!in_flight_.empty() &&
         in_flight_.front().done.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
    if (auto settled = settle_oldest(); !settled) return settled;
  }
  return {};
}

// The builds still queued or running use the group: the batch ends after they have.
common::Result<void> OrderedBuilds::abandon(common::Result<void> failure) {
  abandoned_ = true;
  in_flight_.clear();
  pool_.wait_idle();
  return failure;
}

}  // namespace native_runner
