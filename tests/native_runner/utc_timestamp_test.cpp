#include "native_runner/utc_timestamp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

namespace native_runner {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

struct TimestampCase {
  std::string name;
  system_clock::time_point instant;
  std::string expected;
};

system_clock::time_point at(sys_days day, system_clock::duration time_of_day) {
  return system_clock::time_point(day) + time_of_day;
}

TEST(UtcTimestampTest, FormatsFixedInstants) {
  const std::vector<TimestampCase> cases = {
      {"epoch", system_clock::time_point{}, "1970-01-01T00:00:00Z"},
      {"example", at(2026y / December / 6, 10h + 3min + 33s), "2026-12-06T10:03:33Z"},
      {"fraction is dropped, never rounded", at(2026y / December / 31, 23h + 59min + 59s + 999ms),
       "2026-12-31T23:59:59Z"},
      {"leap day", at(2024y / February / 29, 12h + 34min + 56s), "2024-02-29T12:34:56Z"},
      {"day after a leap day", at(2024y / March / 1, 0s), "2024-03-01T00:00:00Z"},
      {"just before the epoch", system_clock::time_point{} - 1ms, "1969-12-31T23:59:59Z"},
      {"whole second before the epoch", system_clock::time_point{} - 1s, "1969-12-31T23:59:59Z"},
      {"fraction before the epoch floors", system_clock::time_point{} - 1500ms,
       "1969-12-31T23:59:58Z"},
      {"century without a leap day", at(1900y / March / 1, 1h + 2min + 3s), "1900-03-01T01:02:03Z"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(utc_timestamp(c.instant), c.expected) << c.name;
  }
}

TEST(UtcTimestampTest, CurrentTimeUsesThePattern) {
  EXPECT_TRUE(
      std::regex_match(utc_timestamp(), std::regex(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z)")));
}

}  // namespace
}  // namespace native_runner
