#include "native_runner/engine_runner.h"

#include <gtest/gtest.h>

namespace native_runner {
namespace {

TEST(StripVerbatimPrefix, RemovesEveryLeadingPrefixAndNothingElse) {
  const struct {
    const char* input;
    const char* expected;
  } kRows[] = {
      {"\\\\?\\C:\\work\\weather.epw", "C:\\work\\weather.epw"},
      {"\\\\?\\\\\\?\\C:\\x", "C:\\x"},
      {"C:\\a\\\\?\\b", "C:\\a\\\\?\\b"},
      {"\\\\?C:\\x", "\\\\?C:\\x"},
      {"\\\\?\\", ""},
      {"", ""},
      {"/tmp/plain", "/tmp/plain"},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(strip_verbatim_prefix(row.input), row.expected) << row.input;
  }
}

}  // namespace
}  // namespace native_runner
