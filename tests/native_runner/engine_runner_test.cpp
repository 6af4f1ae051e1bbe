#include "native_runner/engine_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>

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

// The time-limit message writes the limit as the shortest decimal of whole milliseconds.
TEST(SecondsText, WritesTheShortestDecimal) {
  const std::pair<long, const char*> kRows[] = {
      {1000, "1"}, {250, "0.25"}, {1, "0.001"}, {90500, "90.5"}, {3600000, "3600"}};
  for (const auto& [millis, text] : kRows) {
    EXPECT_EQ(seconds_text(std::chrono::milliseconds(millis)), text);
  }
}

}  // namespace
}  // namespace native_runner
