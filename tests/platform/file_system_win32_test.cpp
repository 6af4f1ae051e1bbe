#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <string>

#include "platform/file_system.h"
#include "platform/win32_handle.h"
#include "support/temp_dir.h"

namespace {

using platform::UniqueHandle;
using test_support::TempDir;

// Opens the file the way a log watcher does that also wants to be able to delete it: with
// write and delete access and full sharing. A writer that leaves out FILE_SHARE_DELETE or
// FILE_SHARE_WRITE cannot open the file while this handle exists.
UniqueHandle hold(const std::filesystem::path& path) {
  return UniqueHandle(CreateFileW(path.wstring().c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

TEST(Win32OsError, FormatsSystemTextAndNumber) {
  struct Case {
    int code;
    std::string suffix;
  };
  const Case cases[] = {
      {ERROR_FILE_NOT_FOUND, " (os error 2)"},
      {ERROR_PATH_NOT_FOUND, " (os error 3)"},
      {ERROR_ACCESS_DENIED, " (os error 5)"},
  };
  for (const auto& c : cases) {
    const auto message = platform::os_error(c.code).message;
    ASSERT_GT(message.size(), c.suffix.size()) << message;
    ASSERT_TRUE(message.ends_with(c.suffix)) << message;
    // The system text loses its trailing line break and spaces.
    EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
    EXPECT_NE(message[message.size() - c.suffix.size() - 1], ' ') << message;
  }
}

TEST(Win32OsError, UnknownCodeStillNamesTheNumber) {
  EXPECT_EQ(platform::os_error(0x2000ABCD).message, "Unknown error 536914893 (os error 536914893)");
}

TEST(Win32ReadFile, MissingFileNamesTheSystemError) {
  TempDir dir;
  const auto result = platform::read_file(dir.path() / "absent.json");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), platform::os_error(ERROR_FILE_NOT_FOUND));
}

TEST(Win32ReadFile, ReadsBytesUnchanged) {
  TempDir dir;
  const std::string bytes("a\r\nb\0c\xff\n", 9);
  const auto path = dir.write("data.bin", bytes);
  EXPECT_EQ(platform::read_file(path).value(), bytes);
}

TEST(Win32ReadFile, ReadsAFileThatAnotherHandleHoldsForWriting) {
  TempDir dir;
  const auto path = dir.write("progress.json", "{}");
  const auto holder = hold(path);
  ASSERT_TRUE(holder.valid());
  EXPECT_EQ(platform::read_file(path).value(), "{}");
}

TEST(Win32WriteFile, TruncatesAndWritesWhileAnotherHandleIsOpen) {
  TempDir dir;
  const auto path = dir.write("progress.json", "a much longer earlier snapshot");
  const auto holder = hold(path);
  ASSERT_TRUE(holder.valid());
  ASSERT_TRUE(platform::write_file(path, "{\n  \"a\": 1\n}"));
  // Read with full sharing too: std::ifstream could not open the file while it is held.
  EXPECT_EQ(platform::read_file(path).value(), "{\n  \"a\": 1\n}");
}

TEST(Win32WriteFile, MissingDirectoryIsPathNotFound) {
  TempDir dir;
  const auto result = platform::write_file(dir.path() / "no" / "out.json", "x");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), platform::os_error(ERROR_PATH_NOT_FOUND));
}

TEST(Win32AppendToFile, CreatesThenAppendsWithoutTruncating) {
  TempDir dir;
  const auto path = dir.path() / "batch.log";
  ASSERT_TRUE(platform::append_to_file(path, "one\n"));
  ASSERT_TRUE(platform::append_to_file(path, "two\n"));
  EXPECT_EQ(dir.read("batch.log"), "one\ntwo\n");
}

TEST(Win32AppendToFile, AppendsAtTheEndWhileAnotherWriterHoldsTheFile) {
  TempDir dir;
  const auto path = dir.write("batch.log", "first\n");
  const auto holder = hold(path);
  ASSERT_TRUE(holder.valid());
  ASSERT_TRUE(platform::append_to_file(path, "second\n"));
  DWORD written = 0;
  SetFilePointer(holder.get(), 0, nullptr, FILE_END);
  ASSERT_TRUE(WriteFile(holder.get(), "other\n", 6, &written, nullptr));
  ASSERT_TRUE(platform::append_to_file(path, "third\n"));
  EXPECT_EQ(platform::read_file(path).value(), "first\nsecond\nother\nthird\n");
}

TEST(Win32ReplaceFile, ReplacesTheTargetAndLeavesNoTemporaryFile) {
  TempDir dir;
  const auto path = dir.write("model.json", "old contents that are longer");
  ASSERT_TRUE(platform::replace_file(path, "new"));
  EXPECT_EQ(dir.read("model.json"), "new");
  const auto entries = std::distance(std::filesystem::directory_iterator(dir.path()),
                                     std::filesystem::directory_iterator());
  EXPECT_EQ(entries, 1);
}

TEST(Win32ReplaceFile, MissingDirectoryFails) {
  TempDir dir;
  const auto result = platform::replace_file(dir.path() / "no" / "model.json", "x");
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), platform::os_error(ERROR_PATH_NOT_FOUND));
}

TEST(Win32RemoveFile, RemovesAndReportsAMissingFile) {
  TempDir dir;
  const auto path = dir.write("temp_model.json", "{}");
  ASSERT_TRUE(platform::remove_file(path));
  EXPECT_FALSE(std::filesystem::exists(path));
  const auto again = platform::remove_file(path);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error(), platform::os_error(ERROR_FILE_NOT_FOUND));
}

TEST(Win32Paths, NonAsciiNamesRoundTrip) {
  TempDir dir;
  const auto path = dir.path() / std::filesystem::path(L"r\u00e9sum\u00e9 \u6771.json");
  ASSERT_TRUE(platform::write_file(path, "{}"));
  EXPECT_EQ(platform::read_file(path).value(), "{}");
}

// Within one volume a folder is renamed whole; a target that exists is never replaced.
TEST(Win32MoveTree, RenamesAFolderAndRefusesAnExistingTarget) {
  TempDir dir;
  dir.write("run\\out\\summary.csv", "a,b");
  ASSERT_TRUE(platform::move_tree(dir.path() / "run", dir.path() / "outputs"));
  EXPECT_EQ(dir.read("outputs\\out\\summary.csv"), "a,b");
  dir.write("next\\x.csv", "x");
  const auto refused = platform::move_tree(dir.path() / "next", dir.path() / "outputs");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), platform::os_error(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(dir.read("next\\x.csv"), "x");
}

// The system's temporary directory comes from TMP; one that is missing is named in the error.
TEST(Win32TempDirectory, NamesAMissingDirectory) {
  TempDir dir;
  const std::wstring missing = (dir.path() / "missing").wstring();
  wchar_t saved[MAX_PATH + 1];
  const DWORD length = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH + 1);
  SetEnvironmentVariableW(L"TMP", dir.path().wstring().c_str());
  const auto found = platform::temp_directory();
  SetEnvironmentVariableW(L"TMP", missing.c_str());
  const auto failed = platform::temp_directory();
  SetEnvironmentVariableW(L"TMP", length > 0 ? saved : nullptr);
  ASSERT_TRUE(found) << found.error().message;
  EXPECT_EQ(*found, dir.path());
  ASSERT_FALSE(failed);
  EXPECT_TRUE(failed.error().message.starts_with(
      "the temporary directory '" + platform::path_text(missing) + "' cannot be used: "))
      << failed.error().message;
}

}  // namespace
