#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "common/path_pattern.h"

namespace native_runner {

// Which of the files an engine leaves beside its model are kept in the result directory.
struct OutputSelection {
  // Every file and folder; otherwise only the files that match one of `patterns`, with the folders
  // they are in (none at all when `patterns` is empty).
  bool everything = true;
  std::vector<common::PathPattern> patterns;

  friend bool operator==(const OutputSelection&, const OutputSelection&) = default;
};

// How every engine run of a batch goes.
struct EngineRunPolicy {
  // A run still going after this long is ended with everything it started, as a failure.
  std::optional<std::chrono::milliseconds> time_limit;
  // A run the engine failed is started afresh up to this many more times.
  unsigned retries = 0;
  OutputSelection keep;

  friend bool operator==(const EngineRunPolicy&, const EngineRunPolicy&) = default;
};

}  // namespace native_runner
