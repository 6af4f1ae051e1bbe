#include "native_runner/simulation_outcome_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/os_errors.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;

const Files& files = system_files();

// The record's life in one result directory: written whole after a success, matched by the same
// inputs only, removed before a rerun, and its absence is no error.
TEST(SimulationOutcomeFileTest, WriteMatchRemove) {
  test_support::TempDir dir;
  const fs::path result = dir.path() / "result_sim_g_0";
  fs::create_directories(result);
  const auto inputs = describe_simulation("sim", "g_0", "{}", "site.epw", "w", {"--heat-balance"});
  const auto other = describe_simulation("sim", "g_0", "{}", "site.epw", "w2", {"--heat-balance"});

  EXPECT_FALSE(has_matching_outcome(files, result, inputs));
  ASSERT_TRUE(remove_outcome_file(files, result));

  ASSERT_TRUE(write_outcome_file(files, result, inputs, {"2026-12-06T10:03:33Z", 1.5, 2}));
  EXPECT_EQ(dir.read(result / "simulation_outcome.json"),
            render_outcome(inputs, {"2026-12-06T10:03:33Z", 1.5, 2}));
  EXPECT_TRUE(has_matching_outcome(files, result, inputs));
  EXPECT_FALSE(has_matching_outcome(files, result, other));
  EXPECT_TRUE(dir.file_names_containing(".tmp").empty());

  ASSERT_TRUE(remove_outcome_file(files, result));
  EXPECT_FALSE(fs::exists(result / "simulation_outcome.json"));
  EXPECT_FALSE(has_matching_outcome(files, result, inputs));
}

TEST(SimulationOutcomeFileTest, WriteIntoAMissingDirectoryFailsAndLeavesNothing) {
  test_support::TempDir dir;
  const fs::path result = dir.path() / "missing";
  const auto written = write_outcome_file(
      files, result, describe_simulation("c", "m", "{}", "w", "", {}), {"2026-12-06T10:03:33Z"});
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().message, test_support::missing_folder_error());
  EXPECT_FALSE(fs::exists(result));
}

}  // namespace
}  // namespace native_runner
