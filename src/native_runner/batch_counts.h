#pragma once

#include <cstdint>
#include <string>

namespace native_runner {

// What a batch that ran to its end did. With keep_going, failed engine runs are counted here
// instead of ending the batch.
struct BatchCounts {
  std::uint64_t combinations = 0;  // in every group of the configuration; a shard's own share
  std::uint64_t variants_written = 0;
  std::uint64_t resumed = 0;    // simulations skipped: an earlier run succeeded as is
  std::uint64_t simulated = 0;  // engine runs started, failed ones included
  std::uint64_t failed = 0;     // engine runs that failed
  double seconds = 0.0;         // from the start of the batch to its end
};

// "[ensemble_probe] Summary: {C} combinations, {W} variants written, {S} skipped, {M} simulated,
// {F} failed, in {T} s", T with one decimal; no line end.
std::string summary_line(const BatchCounts& counts);

}  // namespace native_runner
