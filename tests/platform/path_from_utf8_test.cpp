#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace {

TEST(PathFromUtf8, NonAsciiNamesReachTheFileSystemUnchanged) {
  test_support::TempDir dir;
  const std::string names[] = {"plain.json", "r\xc3\xa9sum\xc3\xa9.json", "\xe6\x9d\xb1 x.json",
                               "\xf0\x9f\x8f\xa0.json"};
  for (const auto& name : names) {
    const auto path = dir.path() / platform::path_from_utf8(name);
    ASSERT_TRUE(platform::write_file(path, name)) << name;
    EXPECT_EQ(platform::path_text(path.filename()), name);
    // Found again through the standard library's own, independent conversion.
    EXPECT_TRUE(std::filesystem::exists(dir.path() / std::u8string(name.begin(), name.end())));
  }
}

}  // namespace
