#pragma once

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <ostream>

#include "common/error.h"
#include "native_runner/combination_output.h"
#include "native_runner/worker_pool.h"

namespace native_runner {

// Combinations built side by side, on the pool's threads and on the thread that adds them, whose
// lines and records are then replayed in the order they were added: the transcript, snapshots
// and logs come out as if the combinations had been built one after another. The adding thread
// builds whenever the pool already has enough waiting, so N threads in all stay busy without a
// hand-over per combination; a thread that waits for work, or for another's result, is one
// that is not building.
class OrderedBuilds {
 public:
  // Builds one combination into the output it is given, on the thread numbered `thread`: 0 for
  // the adding thread, 1 and up for the pool's. A thread's number is its own for the whole
  // batch, so what a build keeps for later (parsed files above all) can be kept per thread.
  using Build = std::function<common::Result<void>(CombinationOutput& output, unsigned thread)>;

  // `pool` is shared with nobody else while builds are added; `out` gets the replayed lines.
  OrderedBuilds(WorkerPool& pool, std::ostream& out);
  // Waits for the builds still running: they use what their adder owns.
  ~OrderedBuilds();
  OrderedBuilds(const OrderedBuilds&) = delete;
  OrderedBuilds& operator=(const OrderedBuilds&) = delete;

  // Builds `build` here or hands it to the pool, then replays whatever has finished, in order.
  // The first failure in that order is returned; the builds after it are not replayed, and
  // those not yet started do nothing.
  common::Result<void> add(Build build);
  // Replays every build still to be replayed.
  common::Result<void> finish();

 private:
  struct InFlight {
    std::shared_ptr<CombinationOutput> output;
    std::future<common::Result<void>> done;
  };

  common::Result<void> settle_oldest();
  common::Result<void> settle_finished();
  common::Result<void> abandon(common::Result<void> failure);

  WorkerPool& pool_;
  std::ostream& out_;
  // Enough queued per pool thread that it never runs dry while this thread builds one, and
  // enough results held that this thread rarely waits for the oldest.
  const std::size_t backlog_;
  const std::size_t most_in_flight_;
  std::deque<InFlight> in_flight_;
  // Read by the builds: none outlives this object, whose end waits for them.
  std::atomic<bool> abandoned_{false};
};

}  // namespace native_runner
