#include "json/json_float_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace json_text {
namespace {

// strtod, unlike std::stod, reads subnormal values without throwing.
double read_back(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

std::string format(double value) {
  char buffer[kJsonFloatBufferSize];
  return std::string(buffer, write_json_float(buffer, value));
}

// The significant digits of a text in any of the writer's layouts: no sign, point, exponent,
// leading or trailing zeros.
std::string significant_digits(const std::string& text) {
  std::string digits;
  for (char c : text.substr(0, text.find('e'))) {
    if (c >= '0' && c <= '9') digits += c;
  }
  digits.erase(0, digits.find_first_not_of('0'));
  digits.erase(digits.find_last_not_of('0') + 1);
  return digits;
}

// The digits of the shortest round-trip text, found by the standard library's own search.
std::string shortest_digits(double value) {
  char buffer[64];
  const auto end =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
  return significant_digits(std::string(buffer, end.ptr));
}

// Short decimals at every magnitude the plain layout covers and beyond, their neighbours, the
// edges of the 15- and 16-digit ranges, and arbitrary bit patterns.
std::vector<double> sample_values() {
  std::vector<double> values = {1e15,
                                1e15 - 1,
                                999999999999999.9,
                                1e16,
                                1e16 - 2,
                                9007199254740993.0,
                                1e-5,
                                1e-4,
                                0.1 + 0.2,
                                1e-8,
                                1e-9,
                                123456789012345.6,
                                5e-324,
                                2.2250738585072014e-308,
                                1.7976931348623157e308};
  std::mt19937_64 random(12345);
  for (int exponent = -12; exponent <= 18; ++exponent) {
    for (int digits = 1; digits <= 17; ++digits) {
      const auto mantissa = random() % static_cast<std::uint64_t>(std::pow(10.0, digits));
      const double value =
          read_back(std::to_string(mantissa) + "e" + std::to_string(exponent - digits));
      values.insert(values.end(),
                    {value, std::nextafter(value, 0.0), std::nextafter(value, 1e300)});
    }
  }
  for (int i = 0; i < 20000; ++i) {
    const double value = std::bit_cast<double>(random());
    if (std::isfinite(value)) values.push_back(value);
  }
  return values;
}

TEST(JsonFloatFormat, ReadsBackToTheSameValueWithTheShortestDigits) {
  for (double value : sample_values()) {
    for (double signed_value : {value, -value}) {
      const std::string text = format(signed_value);
      EXPECT_EQ(read_back(text), signed_value) << text;
      EXPECT_EQ(significant_digits(text), shortest_digits(signed_value)) << text;
    }
  }
}

TEST(JsonFloatFormat, SwitchesLayoutAtTheDocumentedMagnitudes) {
  const struct {
    double value;
    std::string expected;
  } rows[] = {
      {999999999999999.9, "999999999999999.9"},
      {1234567890123456.0, "1234567890123456.0"},
      {12345678901234568.0, "1.2345678901234568e16"},
      {0.0001, "0.0001"},
      {0.00001234, "0.00001234"},
      {0.000001234, "1.234e-6"},
      {1500.0, "1500.0"},
      {21.37, "21.37"},
      {-0.045, "-0.045"},
  };
  for (const auto& row : rows) EXPECT_EQ(format(row.value), row.expected);
}

}  // namespace
}  // namespace json_text
