#pragma once

#include <array>
#include <filesystem>

#include "common/error.h"
#include "model_generator.h"

namespace bench {

// What a generated batch varies. The four list sizes are the numbers of values of the parameter
// keys "controls", "heat_source_wet", "simplified_fabric" and "tariff" (byte-wise key order), so
// the batch has their product as its number of combinations.
struct WorkspaceOptions {
  ModelShape shape = realistic_shape();
  std::array<int, 4> list_sizes = {5, 4, 5, 5};
  bool zone_allocations = true;
};

// Writes {root}/input/configs/bench.json and the base-parameter tree under
// {root}/input/batch_parameters; returns the configuration's path.
common::Result<std::filesystem::path> write_workspace(const std::filesystem::path& root,
                                                      const WorkspaceOptions& options);

}  // namespace bench
