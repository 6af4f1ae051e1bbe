#include "json/json_number_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <system_error>

namespace json_text {
namespace {

constexpr std::array<double, 23> kExactPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::uint64_t kExactDoubleLimit = std::uint64_t{1} << 53;
// Nineteen decimal digits always fit 64 bits.
constexpr int kMaxAccumulatedDigits = 19;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The digits of the number as they are scanned: their value while it is exact, and how many
// of them came after the decimal point.
struct Digits {
  std::uint64_t value = 0;
  int count = 0;
  int fraction = 0;
};

// Consumes a run of digits into `digits`; false when there is none.
bool scan_digits(std::string_view text, std::size_t& pos, Digits& digits) {
  const std::size_t start = pos;
  while (pos < text.size() && is_digit(text[pos])) {
    if (digits.count < kMaxAccumulatedDigits) {
      digits.value = digits.value * 10 + static_cast<std::uint64_t>(text[pos] - '0');
    }
    ++digits.count;
    ++pos;
  }
  return pos > start;
}

// Exponent digits beyond what any double needs only tell the slow path to decide.
bool scan_exponent(std::string_view text, std::size_t& pos, int& exponent, bool& exact) {
  const std::size_t start = pos;
  while (pos < text.size() && is_digit(text[pos])) {
    if (exponent < 10000) exponent = exponent * 10 + (text[pos] - '0');
    ++pos;
  }
  exact = exponent < 10000;
  return pos > start;
}

// Integers keep their kind when they fit 64 bits; anything wider becomes a float. "-0" is the
// integer 0: written without fraction or exponent it is a pitch like any other.
bool integer_to_json(std::string_view magnitude, const Digits& digits, bool negative, Json& out) {
  std::uint64_t value = digits.value;
  if (digits.count > kMaxAccumulatedDigits) {
    const auto result =
        std::from_chars(magnitude.data(), magnitude.data() + magnitude.size(), value);
    if (result.ec != std::errc()) return false;
  }
  if (!negative) {
    out = Json(value);
    return true;
  }
  constexpr std::uint64_t kMinMagnitude = std::uint64_t{1} << 63;
  if (value > kMinMagnitude) return false;
  out = Json(value == kMinMagnitude ? std::numeric_limits<std::int64_t>::min()
                                    : -static_cast<std::int64_t>(value));
  return true;
}

// The power of ten of the first significant digit of a well-formed number that is not zero
// (1.5e3 gives 3, 0.02 gives -2). An out-of-range value below 1 is too small, any other too
// large, whatever the sign of its exponent ("1000e-1" is 100, "0.001e2" is 0.1).
std::int64_t decimal_exponent(std::string_view number) {
  constexpr std::int64_t kSaturation = std::int64_t{1} << 40;
  std::size_t i = number.front() == '-' ? 1 : 0;
  std::int64_t position = 0;
  bool significant = false;
  for (; i < number.size() && is_digit(number[i]); ++i) {
    if (significant) ++position;
    significant = significant || number[i] != '0';
  }
  if (i < number.size() && number[i] == '.') {
    for (++i; i < number.size() && is_digit(number[i]); ++i) {
      if (significant) continue;
      --position;
      significant = number[i] != '0';
    }
  }
  std::int64_t exponent = 0;
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    ++i;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) ++i;
    for (; i < number.size(); ++i) {
      exponent = std::min(kSaturation, exponent * 10 + (number[i] - '0'));
    }
    if (negative) exponent = -exponent;
  }
  return position + exponent;
}

// When the digits and the power of ten are both exact doubles, one multiplication or division
// rounds correctly, which is all that reading the text means.
bool exact_double(const Digits& digits, int exponent, bool exponent_exact, double& value) {
  if (!exponent_exact || digits.count > kMaxAccumulatedDigits || digits.value > kExactDoubleLimit) {
    return false;
  }
  const int power = exponent - digits.fraction;
  if (power < -22 || power > 22) return false;
  const double mantissa = static_cast<double>(digits.value);
  value = power < 0 ? mantissa / kExactPowersOfTen[static_cast<std::size_t>(-power)]
                    : mantissa * kExactPowersOfTen[static_cast<std::size_t>(power)];
  return true;
}

}  // namespace

std::optional<NumberFailure> read_json_number(std::string_view text, std::size_t& pos, Json& out) {
  const std::size_t start = pos;
  const bool negative = text[pos] == '-';
  if (negative) ++pos;
  const auto at_end = [&] { return pos >= text.size(); };
  if (at_end()) return NumberFailure{"EOF while parsing a value", pos};
  Digits digits;
  if (text[pos] == '0') {
    ++pos;
    digits.count = 1;
    if (!at_end() && is_digit(text[pos])) return NumberFailure{"invalid number", pos};
  } else if (!scan_digits(text, pos, digits)) {
    return NumberFailure{"invalid number", pos};
  }
  const std::size_t integer_end = pos;
  bool is_float = false;
  if (!at_end() && text[pos] == '.') {
    is_float = true;
    ++pos;
    const int before = digits.count;
    if (!scan_digits(text, pos, digits)) {
      return NumberFailure{at_end() ? "EOF while parsing a value" : "invalid number", pos};
    }
    digits.fraction = digits.count - before;
  }
  int exponent = 0;
  bool exponent_exact = true;
  bool negative_exponent = false;
  if (!at_end() && (text[pos] == 'e' || text[pos] == 'E')) {
    is_float = true;
    ++pos;
    if (!at_end() && (text[pos] == '+' || text[pos] == '-')) {
      negative_exponent = text[pos] == '-';
      ++pos;
    }
    if (!scan_exponent(text, pos, exponent, exponent_exact)) {
      return NumberFailure{at_end() ? "EOF while parsing a value" : "invalid number", pos};
    }
    if (negative_exponent) exponent = -exponent;
  }
  const std::size_t magnitude_start = negative ? start + 1 : start;
  if (!is_float && integer_to_json(text.substr(magnitude_start, integer_end - magnitude_start),
                                   digits, negative, out)) {
    return std::nullopt;
  }
  double value = 0.0;
  if (exact_double(digits, exponent, exponent_exact, value)) {
    out = Json(negative ? -value : value);
    return std::nullopt;
  }
  const std::string_view number = text.substr(start, pos - start);
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    if (decimal_exponent(number) >= 0) return NumberFailure{"number out of range", start};
    value = negative ? -0.0 : 0.0;  // too small to represent: rounds to zero
  }
  out = Json(value);
  return std::nullopt;
}

}  // namespace json_text
