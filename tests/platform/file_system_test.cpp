#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <iterator>
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

// A watcher reads a growing log from where it stopped, and tells from the identity whether the
// path still names the file it was reading.
TEST(ReadFileFrom, ReadsFromAnOffsetAndNamesTheFile) {
  test_support::TempDir dir;
  const fs::path log = dir.write("log", "first\n");
  const auto whole = read_file_from(log, 0);
  ASSERT_TRUE(whole.has_value()) << whole.error().message;
  EXPECT_EQ(whole->bytes, "first\n");
  ASSERT_TRUE(append_to_file(log, "second\n").has_value());
  const struct {
    std::uint64_t offset;
    std::string bytes;
  } rows[] = {{0, "first\nsecond\n"}, {6, "second\n"}, {13, ""}, {100, ""}};
  for (const auto& row : rows) {
    const auto tail = read_file_from(log, row.offset);
    ASSERT_TRUE(tail.has_value()) << row.offset;
    EXPECT_EQ(tail->bytes, row.bytes) << row.offset;
    EXPECT_EQ(tail->identity, whole->identity) << "appending keeps the file";
  }
  // A file renamed over the path is another file, even with the same text.
  ASSERT_TRUE(whole->identity.has_value());
  ASSERT_TRUE(replace_file(log, "first\nsecond\n").has_value());
  const auto replaced = read_file_from(log, 0);
  ASSERT_TRUE(replaced.has_value());
  EXPECT_NE(replaced->identity, whole->identity);
  const auto missing = read_file_from(dir.path() / "missing", 0);
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error().message, test_support::missing_file_error());
}

// A text written in pieces replaces the file only once committed; given up, it leaves the file
// as it was and no temporary beside it.
TEST(FileReplacement, ReplacesOnlyOnceCommitted) {
  test_support::TempDir dir;
  const fs::path page = dir.write("report.html", "old");
  for (const bool commit : {false, true}) {
    {
      auto file = FileReplacement::begin(page);
      ASSERT_TRUE(file.has_value()) << file.error().message;
      ASSERT_TRUE(file->write("<p>new").has_value());
      ASSERT_TRUE(file->write("</p>").has_value());
      EXPECT_EQ(dir.read("report.html"), "old");
      if (commit) {
        ASSERT_TRUE(file->commit().has_value());
      }
    }
    EXPECT_EQ(dir.read("report.html"), commit ? "<p>new</p>" : "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  }
  const auto missing = FileReplacement::begin(dir.path() / "no" / "report.html");
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error().message, test_support::missing_folder_error());
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
