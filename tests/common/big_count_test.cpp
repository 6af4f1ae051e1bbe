#include "common/big_count.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace common {
namespace {

// Schoolbook arithmetic on decimal text, independent of the limbs BigCount keeps.
std::string decimal_add(const std::string& a, const std::string& b) {
  std::string sum;
  int carry = 0;
  for (std::size_t i = 0; i < std::max(a.size(), b.size()) || carry; ++i) {
    const int x = i < a.size() ? a[a.size() - 1 - i] - '0' : 0;
    const int y = i < b.size() ? b[b.size() - 1 - i] - '0' : 0;
    sum.insert(sum.begin(), static_cast<char>('0' + (x + y + carry) % 10));
    carry = (x + y + carry) / 10;
  }
  const std::size_t first = sum.find_first_not_of('0');
  return first == std::string::npos ? "0" : sum.substr(first);
}

std::string decimal_multiply(const std::string& a, std::uint64_t factor) {
  std::string product = "0";
  std::string shifted = a;  // a * 10^k for the k-th digit of the factor
  for (; factor != 0; factor /= 10, shifted += '0') {
    for (std::uint64_t n = 0; n < factor % 10; ++n) product = decimal_add(product, shifted);
  }
  return product;
}

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
      expected = decimal_add(decimal_multiply(expected, factor), std::to_string(addend));
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
