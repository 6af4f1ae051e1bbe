#include "platform/private_directory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file_system.h"
#include "support/os_errors.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

TEST(CreatePrivateDirectory, MakesANewEmptyDirectoryEveryCall) {
  test_support::TempDir dir;
  const auto first = create_private_directory(dir.path(), "batch-");
  const auto second = create_private_directory(dir.path(), "batch-");
  ASSERT_TRUE(first) << first.error().message;
  ASSERT_TRUE(second) << second.error().message;
  EXPECT_NE(*first, *second);
  for (const auto& made : {*first, *second}) {
    EXPECT_EQ(made.parent_path(), dir.path());
    const std::string name = made.filename().string();
    EXPECT_TRUE(name.starts_with("batch-") && name.size() == 12) << name;
    EXPECT_TRUE(fs::is_empty(made)) << name;
  }

  const auto missing = create_private_directory(dir.path() / "absent", "batch-");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message, test_support::missing_folder_error());
}

TEST(CreateNewFile, WritesOnlyWhereNothingExists) {
  test_support::TempDir dir;
  const fs::path path = dir.path() / "model.json";
  ASSERT_TRUE(create_new_file(path, "{\n  \"a\": 1\n}"));
  EXPECT_EQ(dir.read("model.json"), "{\n  \"a\": 1\n}");

  const auto again = create_new_file(path, "other");
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().message, test_support::existing_file_error());
  EXPECT_EQ(dir.read("model.json"), "{\n  \"a\": 1\n}");

  // A directory of that name is something, too.
  fs::create_directory(dir.path() / "taken");
  EXPECT_FALSE(create_new_file(dir.path() / "taken", "x"));
}

TEST(RemoveDirectoryTree, RemovesEverythingBelowAndAcceptsAMissingPath) {
  test_support::TempDir dir;
  dir.write("tree/a.json", "a");
  dir.write("tree/sub/deeper/b.json", "b");
  dir.write("kept.json", "k");
  ASSERT_TRUE(remove_directory_tree(dir.path() / "tree"));
  EXPECT_FALSE(fs::exists(dir.path() / "tree"));
  EXPECT_EQ(dir.read("kept.json"), "k");
  EXPECT_TRUE(remove_directory_tree(dir.path() / "tree"));
}

}  // namespace
}  // namespace platform
