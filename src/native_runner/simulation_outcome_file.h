#pragma once

#include <filesystem>
#include <string_view>

#include "common/error.h"
#include "native_runner/files.h"
#include "native_runner/simulation_outcome.h"

// The outcome record on disk, in the combination's result directory.
namespace native_runner {

std::filesystem::path outcome_file_path(const std::filesystem::path& result_dir);

// True when the result directory holds a record that matches `inputs`. A missing, unreadable or
// damaged record is no match: the combination runs again.
bool has_matching_outcome(const Files& files, const std::filesystem::path& result_dir,
                          const SimulationInputs& inputs);

// Writes the record by replace-by-rename, so a reader (or a run killed while writing) only ever
// sees no record or a whole one.
common::Result<void> write_outcome_file(const Files& files, const std::filesystem::path& result_dir,
                                        const SimulationInputs& inputs, const SimulationRun& run);

// Removes the record before the combination is simulated again, so an interruption during the
// new run cannot leave the old success standing. An absent record is success.
common::Result<void> remove_outcome_file(const Files& files,
                                         const std::filesystem::path& result_dir);

}  // namespace native_runner
