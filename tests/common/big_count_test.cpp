#include "common/big_count.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "support/decimal_text.h"

namespace common {
namespace {

TEST(BigCount, HornerStepsMatchDecimalArithmetic) {
  std::mt19937_64 engine(24);
  for (int trial = 0; trial < 40; ++trial) {
    BigCount value;
    std::string expected = "0";
    for (int step = 0; step < 12; ++step) {
      // Factors and addends on both sides of 32 bits, and zero factors now and then.
      const std::uint64_t factor = engine() >> (engine() % 64);
      const std::uint64_t addend = engine() >> (engine() % 64);
      value.multiply_add(factor, addend);
      expected = test_support::decimal_multiply_add(expected, factor, addend);
      ASSERT_EQ(value.decimal(), expected) << "trial " << trial << " step " << step;
      ASSERT_EQ(BigCount::from_decimal(expected), value) << expected;
    }
  }
}

TEST(BigCount, OrdersAndConvertsAtTheSixtyFourBitEdge) {
  const BigCount max(UINT64_MAX);
  BigCount beyond = max;
  beyond.increment();
  EXPECT_EQ(beyond.decimal(), "18446744073709551616");
  EXPECT_EQ(max.to_u64(), UINT64_MAX);
  EXPECT_EQ(beyond.to_u64(), std::nullopt);
  EXPECT_LT(max, beyond);
  EXPECT_GT(beyond, BigCount(1));
  EXPECT_EQ(BigCount().decimal(), "0");
  EXPECT_TRUE(BigCount(0).is_zero());
  EXPECT_DOUBLE_EQ(beyond.to_double(), 18446744073709551616.0);
  EXPECT_DOUBLE_EQ(
      product_of({30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30}).to_double(),
      1.4348907e22);

  BigCount sum = beyond;
  sum.add(beyond);
  EXPECT_EQ(sum.decimal(), "36893488147419103232");
  EXPECT_EQ(product_of({}), BigCount(1));
  EXPECT_EQ(product_of({7, 0, 9}), BigCount(0));
}

TEST(BigCount, ReadsDigitsOnly) {
  const struct {
    std::string_view text;
    std::optional<std::string> expected;  // as decimal text
  } kRows[] = {
      {"0", "0"},
      {"007", "7"},
      {"000000000000000000000000000001", "1"},
      {"123456789012345678901234567890", "123456789012345678901234567890"},
      {"", std::nullopt},
      {"-1", std::nullopt},
      {"+1", std::nullopt},
      {" 1", std::nullopt},
      {"12345678901234567890x", std::nullopt},
  };
  for (const auto& row : kRows) {
    const auto value = BigCount::from_decimal(row.text);
    EXPECT_EQ(value ? std::optional(value->decimal()) : std::nullopt, row.expected)
        << "'" << row.text << "'";
  }
}

}  // namespace
}  // namespace common
