#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

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

// A directory in memory, on another file system than the test's temporary directory, as a
// batch's temporary directory on tmpfs is beside results on disk; none where there is no such.
std::optional<fs::path> other_file_system(const fs::path& than) {
  struct stat here {
  }, there{};
  if (::stat(than.c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0) return std::nullopt;
  if (here.st_dev == there.st_dev) return std::nullopt;
  return fs::path("/dev/shm");
}

// Where a rename cannot go, the tree is copied, links kept as links, and the source removed; a
// copy that fails part-way (here at a named pipe, which cannot be copied) leaves nothing at the
// target and the source whole.
TEST(MoveTree, AcrossFileSystemsCopiesThenDeletesOrLeavesNothing) {
  test_support::TempDir results;
  const auto shm = other_file_system(results.path());
  if (!shm) GTEST_SKIP() << "no second file system at /dev/shm";
  const fs::path run = *shm / ("move_tree_test_" + std::to_string(::getpid()));
  fs::remove_all(run);
  fs::create_directories(run / "out" / "deep");
  std::ofstream(run / "summary.csv") << "a,b\n";
  std::ofstream(run / "out" / "deep" / "series.csv") << "1\n";
  fs::create_symlink("summary.csv", run / "latest.csv");

  ASSERT_TRUE(move_tree(run, results.path() / "outputs").has_value());
  EXPECT_FALSE(fs::exists(run));
  EXPECT_EQ(results.read("outputs/summary.csv"), "a,b\n");
  EXPECT_EQ(results.read("outputs/out/deep/series.csv"), "1\n");
  EXPECT_EQ(fs::read_symlink(results.path() / "outputs" / "latest.csv"), "summary.csv");

  fs::create_directories(run);
  std::ofstream(run / "a.csv") << "kept";
  ASSERT_EQ(::mkfifo((run / "z.pipe").c_str(), 0600), 0);
  const auto failed = move_tree(run, results.path() / "second");
  EXPECT_FALSE(failed.has_value());
  EXPECT_FALSE(fs::exists(results.path() / "second"));
  EXPECT_TRUE(fs::exists(run / "a.csv"));
  EXPECT_TRUE(fs::exists(run / "z.pipe"));
  fs::remove_all(run);
}

// The temporary directory is the first of the variables that is set; one that names no usable
// directory is an error that names it, never a quiet fallback to somewhere else.
TEST(TempDirectory, NamesTheDirectoryItTriedAndWhy) {
  test_support::TempDir dir;
  const fs::path file = dir.write("plain_file", "x");
  const struct {
    std::vector<std::pair<const char*, std::string>> variables;
    std::string expected;  // the path, or the error
  } kRows[] = {
      {{{"TMPDIR", dir.path().string()}}, dir.path().string()},
      {{{"TMPDIR", ""}, {"TMP", dir.path().string()}}, dir.path().string()},
      {{}, "/tmp"},
      {{{"TMP", file.string()}},
       "the temporary directory '" + file.string() +
           "' cannot be used: Not a directory (os error 20)"},
  };
  const char* const kNames[] = {"TMPDIR", "TMP", "TEMP", "TEMPDIR"};
  std::vector<std::optional<std::string>> saved;
  for (const char* name : kNames) {
    const char* value = std::getenv(name);
    saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
  }
  for (const auto& row : kRows) {
    SCOPED_TRACE(row.expected);
    for (const char* name : kNames) ::unsetenv(name);
    for (const auto& [name, value] : row.variables) ::setenv(name, value.c_str(), 1);
    const auto found = temp_directory();
    EXPECT_EQ(found ? found->string() : found.error().message, row.expected);
  }
  for (std::size_t i = 0; i < saved.size(); ++i) {
    if (saved[i])
      ::setenv(kNames[i], saved[i]->c_str(), 1);
    else
      ::unsetenv(kNames[i]);
  }
}

}  // namespace
}  // namespace platform
