#include "common/whole_number.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(ParseWholeNumber, DigitsOnlyWithinSixtyFourBits) {
  const struct {
    std::string_view text;
    std::optional<std::uint64_t> expected;
  } kRows[] = {
      {"0", 0},
      {"007", 7},
      {"18446744073709551615", UINT64_MAX},
      {"", std::nullopt},
      {"+3", std::nullopt},
      {"-1", std::nullopt},
      {" 1", std::nullopt},
      {"1 ", std::nullopt},
      {"1a", std::nullopt},
      {"18446744073709551616", std::nullopt},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(parse_whole_number(row.text), row.expected) << "'" << row.text << "'";
  }
}

}  // namespace
}  // namespace common
