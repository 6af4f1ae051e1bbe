#include <gtest/gtest.h>

#include <sstream>

#include "native_runner/progress_files.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

// The operating system's own texts differ between platforms; these are the POSIX ones.
TEST(ProgressFilesPosixTest, MissingProgressDirectoryReportsTheSystemError) {
  test_support::TempDir dir;
  std::ostringstream out;
  const auto missing = dir.path() / "absent";

  const ProgressFiles files(system_files(), missing, "j");
  const auto progress = files.write(ProgressUpdate{}, out);
  const auto simulation = files.write_simulation(SimulationProgress{});

  ASSERT_FALSE(progress);
  EXPECT_EQ(progress.error().message, "No such file or directory (os error 2)");
  ASSERT_FALSE(simulation);
  EXPECT_EQ(simulation.error().message, "No such file or directory (os error 2)");
}

}  // namespace
}  // namespace native_runner
