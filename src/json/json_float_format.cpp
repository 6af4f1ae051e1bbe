#include "json/json_float_format.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace json_text {
namespace {

// Every power of ten that a double holds exactly.
constexpr std::array<double, 23> kExactPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::array<std::uint64_t, 16> kIntegerPowersOfTen = {1,
                                                               10,
                                                               100,
                                                               1000,
                                                               10000,
                                                               100000,
                                                               1000000,
                                                               10000000,
                                                               100000000,
                                                               1000000000,
                                                               10000000000,
                                                               100000000000,
                                                               1000000000000,
                                                               10000000000000,
                                                               100000000000000,
                                                               1000000000000000};
constexpr double kFifteenDigits = 1e15;
// The largest magnitude written without an exponent has 16 digits before the point.
constexpr int kMaxPlainIntegerDigits = 16;

// A value as mantissa * 10^-fraction_digits, the mantissa without trailing zeros (so
// fraction_digits is negative for an integer with trailing zeros).
struct ShortDecimal {
  std::uint64_t mantissa;
  int fraction_digits;
};

// Removes the trailing zeros of a mantissa below 10^15 (so at most fourteen of them) and returns
// their count: 8, 4, 2 and 1 zeros at a time, each step at most once. The divisors are constants
// so that no step needs a hardware division.
int strip_trailing_zeros(std::uint64_t& mantissa) {
  int zeros = 0;
  if (mantissa % 100000000 == 0) {
    mantissa /= 100000000;
    zeros += 8;
  }
  if (mantissa % 10000 == 0) {
    mantissa /= 10000;
    zeros += 4;
  }
  if (mantissa % 100 == 0) {
    mantissa /= 100;
    zeros += 2;
  }
  if (mantissa % 10 == 0) {
    mantissa /= 10;
    zeros += 1;
  }
  return zeros;
}

// Most model values have few significant digits (21.5, 0.045). A decimal with at most 15
// significant digits is the only one of that length that reads back to its double, so when
// scaling the value to 15 digits gives an integer that divides back exactly (a division of two
// exact doubles is correctly rounded, like reading the text), that integer without its trailing
// zeros is exactly what the general shortest-digits search would find.
bool fifteen_digit_decimal(double value, ShortDecimal& out) {
  if (value >= kFifteenDigits) return false;
  const int binary_exponent =
      static_cast<int>((std::bit_cast<std::uint64_t>(value) >> 52) & 0x7FF) - 1023;
  // floor(log10(value)) is this estimate or one more; below 10^15 it is at most 14, so the scale
  // is never negative.
  const int estimate = (binary_exponent * 78913) >> 18;
  int scale = 14 - estimate;
  if (scale > 22) return false;
  double scaled = value * kExactPowersOfTen[static_cast<std::size_t>(scale)];
  if (scaled >= kFifteenDigits) {
    --scale;
    scaled = value * kExactPowersOfTen[static_cast<std::size_t>(scale)];
  }
  // Non-negative and below 2^53, so adding a half and truncating rounds it to an integer; which
  // way a tie goes does not matter, the exact check below decides.
  std::uint64_t mantissa = static_cast<std::uint64_t>(scaled + 0.5);
  if (static_cast<double>(mantissa) / kExactPowersOfTen[static_cast<std::size_t>(scale)] != value) {
    return false;
  }
  out.fraction_digits = scale - strip_trailing_zeros(mantissa);
  out.mantissa = mantissa;
  return true;
}

// Number of decimal digits of 1 <= value < 10^15.
int digit_count(std::uint64_t value) {
  const int estimate = (std::bit_width(value) * 1233) >> 12;
  return estimate - (value < kIntegerPowersOfTen[static_cast<std::size_t>(estimate)]) + 1;
}

// Writes the lowest `count` digits of `value` so that they end at `end`, two at a time, and
// returns what is left of `value`. Digits go straight to their place in the output: building
// them elsewhere and copying them over stalls on reading back bytes just stored.
std::uint64_t put_digits_before(char* end, std::uint64_t value, int count) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  for (; count >= 2; count -= 2) {
    end -= 2;
    std::memcpy(end, kPairs + 2 * (value % 100), 2);
    value /= 100;
  }
  if (count == 1) {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return value;
}

char* put_exponent(char* out, int exponent) {
  *out++ = 'e';
  return std::to_chars(out, out + 8, exponent).ptr;
}

// The layout of lay_out below, for a decimal of at most 15 digits.
char* put_short_decimal(char* out, const ShortDecimal& decimal) {
  const int length = digit_count(decimal.mantissa);
  const int point = length - decimal.fraction_digits;  // digits before the decimal point
  if (decimal.fraction_digits <= 0 && point <= kMaxPlainIntegerDigits) {  // 1500.0
    put_digits_before(out + length, decimal.mantissa, length);
    std::memset(out + length, '0', kMaxPlainIntegerDigits);
    std::memcpy(out + point, ".0", 2);
    return out + point + 2;
  }
  if (point > 0) {  // 21.375
    const std::uint64_t integer_part =
        put_digits_before(out + length + 1, decimal.mantissa, decimal.fraction_digits);
    out[point] = '.';
    put_digits_before(out + point, integer_part, point);
    return out + length + 1;
  }
  if (point > -5) {  // 0.00125
    std::memcpy(out, "0.0000", 6);
    char* end = out + 2 - point + length;
    put_digits_before(end, decimal.mantissa, length);
    return end;
  }
  if (length == 1) {  // 1e-7
    *out = static_cast<char>('0' + decimal.mantissa);
    return put_exponent(out + 1, point - 1);
  }
  const std::uint64_t first = put_digits_before(out + length + 1, decimal.mantissa, length - 1);
  out[0] = static_cast<char>('0' + first);  // 1.25e-7
  out[1] = '.';
  return put_exponent(out + length + 1, point - 1);
}

// Shortest round-trip digits of a positive finite value, as `digits` (no leading zero) and the
// decimal exponent of the first digit: value = d.ddd * 10^exponent.
struct Decimal {
  std::array<char, 24> digits;
  int length;
  int exponent;
};

// The general case: std::to_chars finds the shortest digits in scientific form ("6.25e-01").
Decimal shortest_decimal(double value) {
  Decimal out;
  std::array<char, 32> text;
  const auto end =
      std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::scientific);
  const std::string_view scientific(text.data(), static_cast<std::size_t>(end.ptr - text.data()));
  const std::size_t e = scientific.find('e');
  out.length = 0;
  for (char c : scientific.substr(0, e)) {
    if (c != '.') out.digits[static_cast<std::size_t>(out.length++)] = c;
  }
  std::string_view exponent_text = scientific.substr(e + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), out.exponent);
  return out;
}

char* put(char* out, const char* text, int length) {
  std::memcpy(out, text, static_cast<std::size_t>(length));
  return out + length;
}

char* put_repeated(char* out, char c, int count) {
  std::memset(out, c, static_cast<std::size_t>(count));
  return out + count;
}

// Plain decimal for magnitudes up to 10^16 and down to 10^-5, a bare exponent otherwise.
char* lay_out(char* out, const Decimal& decimal) {
  const char* digits = decimal.digits.data();
  const int length = decimal.length;
  const int point = decimal.exponent + 1;  // digits before the decimal point
  if (point >= length && point <= kMaxPlainIntegerDigits) {
    out = put(out, digits, length);
    out = put_repeated(out, '0', point - length);
    return put(out, ".0", 2);
  }
  if (point > 0 && point <= kMaxPlainIntegerDigits) {
    out = put(out, digits, point);
    *out++ = '.';
    return put(out, digits + point, length - point);
  }
  if (point > -5 && point <= 0) {
    out = put(out, "0.", 2);
    out = put_repeated(out, '0', -point);
    return put(out, digits, length);
  }
  *out++ = digits[0];
  if (length > 1) {
    *out++ = '.';
    out = put(out, digits + 1, length - 1);
  }
  return put_exponent(out, point - 1);
}

}  // namespace

std::size_t write_json_float(char* buffer, double value) {
  if (!std::isfinite(value)) {
    std::memcpy(buffer, "null", 4);
    return 4;
  }
  char* out = buffer;
  if (std::signbit(value)) {
    *out++ = '-';
    value = -value;
  }
  if (value == 0.0) {
    std::memcpy(out, "0.0", 3);
    return static_cast<std::size_t>(out + 3 - buffer);
  }
  ShortDecimal short_decimal;
  if (fifteen_digit_decimal(value, short_decimal)) {
    return static_cast<std::size_t>(put_short_decimal(out, short_decimal) - buffer);
  }
  return static_cast<std::size_t>(lay_out(out, shortest_decimal(value)) - buffer);
}

}  // namespace json_text
