#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <string>

#include "support/os_errors.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

TEST(CreateDirectories, CreatesDirectoriesOrReportsTheOsError) {
  test_support::TempDir dir;
  dir.write("file", "x");
  const struct {
    fs::path path;
    std::string error;  // empty: success
  } rows[] = {
      // The current directory, as an empty output directory argument names it.
      {"", ""},
      {dir.path(), ""},
      {dir.path() / "new" / "nested", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path.string());
    const auto created = platform::create_directories(row.path);
    if (row.error.empty()) {
      ASSERT_TRUE(created.has_value()) << created.error().message;
      EXPECT_TRUE(fs::is_directory(row.path.empty() ? fs::current_path() : row.path));
    } else {
      ASSERT_FALSE(created.has_value());
      EXPECT_EQ(created.error().message, row.error);
    }
  }
}

// Text after a NUL never reaches the system, so without a check these would touch "file" or make
// "made" instead of failing.
TEST(FileSystem, PathsWithANulCharacterNameNoFile) {
  test_support::TempDir dir;
  dir.write("file", "x");
  using namespace std::string_literals;
  const fs::path file_nul = dir.path() / "file\0.json"s;
  EXPECT_FALSE(platform::exists(file_nul));
  const auto read = read_file(file_nul);
  ASSERT_FALSE(read.has_value());
  EXPECT_EQ(read.error().message, test_support::invalid_name_error());
  const auto written = write_file(file_nul, "y");
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(written.error().message, test_support::invalid_name_error());
  const auto created = platform::create_directories(dir.path() / "made\0_0"s);
  ASSERT_FALSE(created.has_value());
  EXPECT_EQ(created.error().message, test_support::invalid_name_error());
  EXPECT_FALSE(fs::exists(dir.path() / "made"));
  EXPECT_EQ(dir.read("file"), "x");
}

// What an engine leaves in its run directory, moved whole into a result directory: files at any
// depth, empty folders and all. Whatever stands at the target already is never replaced.
TEST(MoveTree, MovesAWholeTreeAndNeverReplacesATarget) {
  test_support::TempDir dir;
  dir.write("run/summary.csv", "a,b\n");
  dir.write("run/out/deep/series.csv", "1\n");
  fs::create_directories(dir.path() / "run" / "empty");
  fs::create_directories(dir.path() / "result");
  ASSERT_TRUE(move_tree(dir.path() / "run", dir.path() / "result" / "outputs").has_value());
  EXPECT_FALSE(fs::exists(dir.path() / "run"));
  EXPECT_EQ(dir.read("result/outputs/summary.csv"), "a,b\n");
  EXPECT_EQ(dir.read("result/outputs/out/deep/series.csv"), "1\n");
  EXPECT_TRUE(fs::is_directory(dir.path() / "result" / "outputs" / "empty"));

  dir.write("next/summary.csv", "new");
  fs::create_directories(dir.path() / "empty_target");
  for (const char* target : {"result/outputs", "result/outputs/summary.csv", "empty_target"}) {
    SCOPED_TRACE(target);
    EXPECT_FALSE(move_tree(dir.path() / "next", dir.path() / target).has_value());
    EXPECT_EQ(dir.read("next/summary.csv"), "new");
  }
  EXPECT_EQ(dir.read("result/outputs/summary.csv"), "a,b\n");
  EXPECT_TRUE(fs::is_empty(dir.path() / "empty_target"));
}

}  // namespace
}  // namespace platform
