#pragma once

#include <filesystem>
#include <string_view>

#include "common/error.h"
#include "native_runner/engine_run_policy.h"
#include "native_runner/files.h"

// What an engine run leaves for the study in its combination's result directory:
//
//   engine/outputs/     the files and folders the engine left beside its model
//   engine/stdout.txt   its standard output, byte for byte
//   engine/stderr.txt   its standard error, byte for byte
namespace native_runner {

std::filesystem::path engine_folder(const std::filesystem::path& result_dir);

// Removes an earlier run's engine folder before the engine starts again, so what is there always
// belongs to the last run. An absent folder is success.
common::Result<void> remove_engine_outputs(const Files& files,
                                           const std::filesystem::path& result_dir);

// The two streams of an ended run.
struct EngineStreams {
  std::string_view standard_output;
  std::string_view standard_error;
};

// Moves what the run left in `run_directory` (the model file itself never) into the engine
// folder, as `selection` says, and writes the two stream files there. The folder must not exist.
// A failure, named with the path that could not be made, removes the engine folder again: it
// holds all of the run's outputs or none.
common::Result<void> keep_engine_outputs(const Files& files,
                                         const std::filesystem::path& run_directory,
                                         const std::filesystem::path& result_dir,
                                         const EngineStreams& streams,
                                         const OutputSelection& selection);

}  // namespace native_runner
