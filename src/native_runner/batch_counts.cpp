#include "native_runner/batch_counts.h"

#include <fmt/format.h>

namespace native_runner {

std::string summary_line(const BatchCounts& counts) {
  return fmt::format(
      "[ensemble_probe] Summary: {} combinations, {} variants written, {} skipped, {} simulated, "
      "{} failed, in {:.1f} s",
      counts.combinations, counts.variants_written, counts.resumed, counts.simulated, counts.failed,
      counts.seconds);
}

}  // namespace native_runner
