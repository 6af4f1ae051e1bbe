#pragma once

#include <chrono>

namespace platform {

// When a time limit that starts now runs out. Saturates, so that a limit of centuries is simply
// never reached instead of overflowing into the past.
inline std::chrono::steady_clock::time_point deadline_after(std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point now = Clock::now();
  const auto room =
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::time_point::max() - now);
  return limit >= room ? Clock::time_point::max() : now + limit;
}

}  // namespace platform
