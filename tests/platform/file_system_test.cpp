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

}  // namespace
}  // namespace platform
