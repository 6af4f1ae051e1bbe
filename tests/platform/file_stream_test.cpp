#include "platform/file_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace platform {
namespace {

TEST(FileReplacement, ReplacesTheFileOnlyWhenCommitted) {
  test_support::TempDir dir;
  const auto path = dir.write("table.csv", "old");
  {
    auto abandoned = FileReplacement::create(path);
    ASSERT_TRUE(abandoned.has_value()) << abandoned.error().message;
    ASSERT_TRUE(abandoned->write("half a ta").has_value());
  }
  EXPECT_EQ(dir.read("table.csv"), "old");
  auto file = FileReplacement::create(path);
  ASSERT_TRUE(file.has_value());
  ASSERT_TRUE(file->write("new ").has_value());
  ASSERT_TRUE(file->write("table").has_value());
  ASSERT_TRUE(file->commit().has_value());
  EXPECT_EQ(dir.read("table.csv"), "new table");
  EXPECT_EQ(dir.file_names_containing("tmp"), std::vector<std::string>{});
  EXPECT_FALSE(FileReplacement::create(dir.path() / "missing" / "t.csv").has_value());
}

TEST(FileStream, ReadsInPiecesAndListsFilesBelowAFolder) {
  test_support::TempDir dir;
  dir.write("outputs/b.csv", "0123456789");
  dir.write("outputs/a/deep/c.json", "{}");
  std::vector<std::string> pieces;
  ASSERT_TRUE(read_file_in_pieces(dir.path() / "outputs/b.csv", 4, [&](std::string_view piece) {
                pieces.emplace_back(piece);
              }).has_value());
  EXPECT_EQ(pieces, (std::vector<std::string>{"0123", "4567", "89"}));
  EXPECT_FALSE(read_file_in_pieces(dir.path() / "none", 4, [](std::string_view) {}).has_value());
  const auto files = list_files_below(dir.path() / "outputs");
  ASSERT_TRUE(files.has_value());
  EXPECT_EQ(*files, (std::vector<std::string>{"a/deep/c.json", "b.csv"}));
  EXPECT_EQ(list_files_below(dir.path() / "none").value(), std::vector<std::string>{});
}

}  // namespace
}  // namespace platform
