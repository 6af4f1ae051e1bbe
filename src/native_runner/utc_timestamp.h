#pragma once

#include <chrono>
#include <string>

namespace native_runner {

// The system's one time format, "%Y-%m-%dT%H:%M:%SZ" in UTC, whole seconds (the fraction is
// dropped, never rounded up).
std::string utc_timestamp();
std::string utc_timestamp(std::chrono::system_clock::time_point now);

}  // namespace native_runner
