#include "platform/file_stream.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace platform {
namespace {

TEST(FileStream, ReadsInPieces) {
  test_support::TempDir dir;
  dir.write("outputs/b.csv", "0123456789");
  std::vector<std::string> pieces;
  ASSERT_TRUE(read_file_in_pieces(dir.path() / "outputs/b.csv", 4, [&](std::string_view piece) {
                pieces.emplace_back(piece);
              }).has_value());
  EXPECT_EQ(pieces, (std::vector<std::string>{"0123", "4567", "89"}));
  EXPECT_FALSE(read_file_in_pieces(dir.path() / "none", 4, [](std::string_view) {}).has_value());
}

}  // namespace
}  // namespace platform
