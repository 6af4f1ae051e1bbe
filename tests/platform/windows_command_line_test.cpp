#include "platform/windows_command_line.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(WindowsCommandLine, QuotesArgumentsSoTheChildSplitsThemBack) {
  const struct {
    const char* argument;
    const char* expected;
  } kRows[] = {
      {"plain", "plain"},
      {"", "\"\""},
      {"two words", "\"two words\""},
      {"tab\there", "\"tab\there\""},
      {"C:\\dir\\file.json", "C:\\dir\\file.json"},
      {"C:\\dir with space\\", "\"C:\\dir with space\\\\\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\"b", "\"a\\\"b\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},
      {"a\\\\b c", "\"a\\\\b c\""},
      {"\\\\?\\C:\\x", "\\\\?\\C:\\x"},
      {"--heat-balance", "--heat-balance"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(quote_windows_argument(row.argument), row.expected) << row.argument;
  }
}

TEST(WindowsCommandLine, ProgramIsQuotedOnlyWhenItHasWhiteSpace) {
  const struct {
    const char* program;
    const char* expected;
  } kRows[] = {
      {"where", "where"},
      {"C:\\Git\\bin\\bash.exe", "C:\\Git\\bin\\bash.exe"},
      {"C:\\Program Files\\Git\\bin\\bash.exe", "\"C:\\Program Files\\Git\\bin\\bash.exe\""},
      {"", "\"\""},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(quote_windows_program(row.program), row.expected) << row.program;
  }
}

TEST(WindowsCommandLine, JoinsProgramAndArgumentsWithSingleSpaces) {
  EXPECT_EQ(windows_command_line("C:\\Program Files\\Git\\bin\\bash.exe",
                                 {"C:\\work space\\run.sh", "", "cfg", "--heat-balance"}),
            "\"C:\\Program Files\\Git\\bin\\bash.exe\" \"C:\\work space\\run.sh\" \"\" cfg "
            "--heat-balance");
  EXPECT_EQ(windows_command_line("where", {"bash"}), "where bash");
  EXPECT_EQ(windows_command_line("where", {}), "where");
}

}  // namespace
}  // namespace platform
