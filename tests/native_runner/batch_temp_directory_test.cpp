#include "native_runner/batch_temp_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/os_errors.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;

// The parent's entries, by name.
std::vector<std::string> entries(const fs::path& parent) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(parent)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(BatchTempDirectory, CreatedAtFirstUseAndRemovedWithEverythingInside) {
  test_support::TempDir parent;
  fs::path made;
  {
    BatchTempDirectory directory(system_files(), parent.path());
    EXPECT_TRUE(entries(parent.path()).empty()) << "nothing before the first simulation";
    made = directory.path().value();
    EXPECT_EQ(directory.path().value(), made);
    EXPECT_EQ(made.parent_path(), parent.path());
    EXPECT_TRUE(made.filename().string().starts_with("ensemble_probe-")) << made;
    // What the engine runs leave behind, and the directories of parallel runs.
    parent.write(made / "temp_model.json", "{}");
    parent.write(made / "run-1" / "temp_model.json", "{}");
  }
  EXPECT_TRUE(entries(parent.path()).empty());
}

TEST(BatchTempDirectory, RemoveCanBeCalledEarlyAndAFreshDirectoryFollows) {
  test_support::TempDir parent;
  BatchTempDirectory directory(system_files(), parent.path());
  EXPECT_TRUE(directory.remove()) << "nothing created yet";
  const fs::path first = directory.path().value();
  ASSERT_TRUE(directory.remove());
  EXPECT_FALSE(fs::exists(first));
  const fs::path second = directory.path().value();
  EXPECT_TRUE(fs::is_directory(second));
  EXPECT_EQ(entries(parent.path()).size(), 1u);
}

// A temporary directory that is missing at the first simulation is reported, and the next
// simulation tries again.
TEST(BatchTempDirectory, FailedCreationIsReportedAndRetried) {
  test_support::TempDir root;
  BatchTempDirectory directory(system_files(), root.path() / "tmp");
  const auto failed = directory.path();
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().message, test_support::missing_folder_error());
  fs::create_directory(root.path() / "tmp");
  const auto made = directory.path();
  ASSERT_TRUE(made) << made.error().message;
  EXPECT_EQ(made->parent_path(), root.path() / "tmp");
}

}  // namespace
}  // namespace native_runner
