#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// write_file cuts an existing file to a shared first byte instead of to nothing; whatever the
// old contents, the file must end up holding exactly the new text.
TEST(WriteFile, LeavesExactlyTheNewTextWhateverWasThere) {
  const struct {
    std::optional<std::string> before;
    std::string after;
  } rows[] = {
      {std::nullopt, "{\n  \"a\": 1\n}"},
      {"", "{}"},
      {"{\n  \"much\": \"longer than what replaces it\"\n}", "{}"},
      {"{}", "{\n  \"longer\": true\n}"},
      {"[1, 2, 3]", "{}"},  // different first byte
      {"{\"a\":1}", ""},
      {"x", "x"},
      {"{same}", "{same}"},
  };
  test_support::TempDir dir;
  for (const auto& row : rows) {
    const auto path = dir.path() / "file.json";
    std::filesystem::remove(path);
    if (row.before) dir.write("file.json", *row.before);
    ASSERT_TRUE(write_file(path, row.after)) << row.after;
    EXPECT_EQ(dir.read("file.json"), row.after) << (row.before ? *row.before : "(no file)");
  }
}

TEST(WriteFile, KeepsTheFileItself) {
  test_support::TempDir dir;
  const auto path = dir.write("progress.json", "{\"old\": true}");
  struct stat before {};
  ASSERT_EQ(::stat(path.c_str(), &before), 0);
  ASSERT_TRUE(write_file(path, "{\"new\": true}"));
  struct stat after {};
  ASSERT_EQ(::stat(path.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);  // rewritten in place, not replaced
}

TEST(WriteFile, ReportsTheOperatingSystemError) {
  test_support::TempDir dir;
  const auto missing_dir = write_file(dir.path() / "missing" / "file.json", "{}");
  ASSERT_FALSE(missing_dir);
  EXPECT_EQ(missing_dir.error().message, "No such file or directory (os error 2)");
  const auto directory = write_file(dir.path(), "{}");
  ASSERT_FALSE(directory);
  EXPECT_EQ(directory.error().message, "Is a directory (os error 21)");
}

// read_file sizes its buffer from the file; texts around the old read chunk and far beyond it must
// come back whole.
TEST(ReadFile, ReturnsTheWholeFileWhateverItsSize) {
  test_support::TempDir dir;
  for (std::size_t size : {0, 1, 65535, 65536, 65537, 300000}) {
    std::string text(size, 'a');
    for (std::size_t i = 0; i < size; i += 97) text[i] = static_cast<char>('0' + i % 10);
    const auto path = dir.write("file.txt", text);
    const auto read = read_file(path);
    ASSERT_TRUE(read) << size;
    EXPECT_EQ(*read, text) << size;
  }
  const auto missing = read_file(dir.path() / "missing.txt");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().message, "No such file or directory (os error 2)");
}

// Lowers this process's file size limit for one scope, with SIGXFSZ ignored, so that writes past
// `bytes` fail with EFBIG part-way through.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit lowered = saved_;
    lowered.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lowered);
    previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_handler_);
  }

 private:
  rlimit saved_{};
  void (*previous_handler_)(int) = nullptr;
};

TEST(AppendAndReplace, WritesThatFailPartWayLeaveEarlierContentWhole) {
  test_support::TempDir dir;
  const fs::path log = dir.write("log.jsonl", "{\"line\":1}\n");
  const fs::path output = dir.write("out.json", "previous");
  const std::string line = "{\"line\":2," + std::string(100, 'x') + "}\n";
  {
    const FileSizeLimit limit(40);
    const auto appended = append_to_file(log, line);
    ASSERT_FALSE(appended);
    EXPECT_EQ(appended.error().message, "File too large (os error 27)");
    const auto replaced = replace_file(output, std::string(100, 'y'));
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.error().message, "File too large (os error 27)");
  }
  // The part of the line that fitted is taken back; the old output is not touched.
  EXPECT_EQ(dir.read("log.jsonl"), "{\"line\":1}\n");
  EXPECT_EQ(dir.read("out.json"), "previous");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);

  ASSERT_TRUE(append_to_file(log, line));
  EXPECT_EQ(dir.read("log.jsonl"), "{\"line\":1}\n" + line);
}

}  // namespace
}  // namespace platform
