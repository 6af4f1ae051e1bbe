#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "platform/file_system.h"
#include "platform/private_directory.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

mode_t permission_bits(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

TEST(CreatePrivateDirectory, OnlyTheOwnerCanEnter) {
  test_support::TempDir dir;
  const auto made = create_private_directory(dir.path(), "ensemble_probe-");
  ASSERT_TRUE(made) << made.error().message;
  EXPECT_EQ(permission_bits(*made), 0700u);
  ASSERT_TRUE(create_new_file(*made / "temp_model.json", "{}"));
  EXPECT_EQ(permission_bits(*made / "temp_model.json"), 0600u);
}

// Another account may have planted the name as a link: to a file the owner can write, or to a
// name that does not exist yet. Neither may be written through or created.
TEST(CreateNewFile, NeverWritesThroughAPlantedLink) {
  test_support::TempDir dir;
  dir.write("victim.txt", "precious");
  const struct {
    const char* link;
    const char* target;
  } rows[] = {{"to_victim.json", "victim.txt"}, {"dangling.json", "created_by_link.txt"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.link);
    fs::create_symlink(dir.path() / row.target, dir.path() / row.link);
    const auto created = create_new_file(dir.path() / row.link, "model");
    ASSERT_FALSE(created);
    EXPECT_EQ(created.error().message, "File exists (os error 17)");
  }
  EXPECT_EQ(dir.read("victim.txt"), "precious");
  EXPECT_FALSE(fs::exists(dir.path() / "created_by_link.txt"));
}

TEST(RemoveDirectoryTree, RemovesLinksWithoutFollowingThem) {
  test_support::TempDir dir;
  dir.write("outside/keep.txt", "kept");
  dir.write("tree/own.txt", "own");
  fs::create_directory_symlink(dir.path() / "outside", dir.path() / "tree" / "link");
  ASSERT_TRUE(remove_directory_tree(dir.path() / "tree"));
  EXPECT_FALSE(fs::exists(dir.path() / "tree"));
  EXPECT_EQ(dir.read("outside/keep.txt"), "kept");
}

}  // namespace
}  // namespace platform
