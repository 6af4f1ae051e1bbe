#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <string>

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
  EXPECT_EQ(read.error().message, "Invalid argument (os error 22)");
  const auto written = write_file(file_nul, "y");
  ASSERT_FALSE(written.has_value());
  EXPECT_EQ(written.error().message, "Invalid argument (os error 22)");
  const auto created = platform::create_directories(dir.path() / "made\0_0"s);
  ASSERT_FALSE(created.has_value());
  EXPECT_EQ(created.error().message, "Invalid argument (os error 22)");
  EXPECT_FALSE(fs::exists(dir.path() / "made"));
  EXPECT_EQ(dir.read("file"), "x");
}

}  // namespace
}  // namespace platform
