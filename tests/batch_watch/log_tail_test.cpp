#include "batch_watch/log_tail.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace batch_watch {
namespace {

namespace fs = std::filesystem;

// Reads until the tail has nothing more, in pieces of `piece` bytes; "|" marks a restart.
std::string read_all(LogTail& tail, const fs::path& path, std::size_t piece) {
  std::string out;
  for (bool more = true; more;) {
    LogTail::Lines lines = tail.read(path, piece);
    out += (lines.restarted ? "|" : "") + lines.text;
    more = lines.more;
  }
  return out;
}

void write(const fs::path& path, const std::string& text, std::ios::openmode mode) {
  std::ofstream(path, std::ios::binary | mode) << text;
}

// Each row changes the log, then the tail reads on; pieces shorter than a line make it read
// larger ones.
TEST(LogTail, ReturnsEachCompleteLineOnceAndSeesALogReplaced) {
  test_support::TempDir dir;
  const fs::path log = dir.path() / "log";
  const struct {
    const char* change;
    std::string text;
    std::string expected;
  } rows[] = {
      {"missing", "", ""},
      {"append", "first line\nsec", "first line\n"},
      {"append", "ond\n", "second\n"},
      {"append", "", ""},
      {"append", "a much longer third line\n4\n", "a much longer third line\n4\n"},
      // Rewritten in place and longer: only the line last read, now another, tells.
      {"rewrite", "first line\nsecond\nA MUCH LONGER THIRD LINE\nFOUR\n",
       "|first line\nsecond\nA MUCH LONGER THIRD LINE\nFOUR\n"},
      {"rewrite", "short\n", "|short\n"},
      {"replace", "short\n", "|short\n"},
      {"remove", "", "|"},
      {"append", "back\n", "back\n"},
  };
  for (std::size_t piece : {1, 3, 64}) {
    LogTail tail;
    fs::remove(log);
    for (const auto& row : rows) {
      const std::string change = row.change;
      if (change == "append") write(log, row.text, std::ios::app);
      if (change == "rewrite") write(log, row.text, std::ios::trunc);
      if (change == "replace") {
        ASSERT_TRUE(platform::replace_file(log, row.text).has_value());
      }
      if (change == "remove") fs::remove(log);
      EXPECT_EQ(read_all(tail, log, piece), row.expected) << change << " " << row.text << piece;
    }
  }
}

}  // namespace
}  // namespace batch_watch
