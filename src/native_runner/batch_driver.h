#pragma once

#include "common/error.h"
#include "native_runner/batch_counts.h"
#include "native_runner/batch_options.h"
#include "native_runner/batch_services.h"

namespace native_runner {

// Runs one whole batch: every combination of every group is built from the base-parameter
// directory, finished and written under the output directory; unless json_only, each variant is
// also simulated, and each success leaves an outcome record in its result directory. Skips end
// one combination, and so do failed engine runs with keep_going (they are counted); every other
// failure ends the batch and is returned unchanged. Progress files go to the progress directory,
// logs under {output_dir}/logs.
common::Result<BatchCounts> run_native_batch(const BatchOptions& options,
                                             const BatchServices& services);

}  // namespace native_runner
