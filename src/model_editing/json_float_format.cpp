#include "model_editing/json_float_format.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace model_editing {
namespace {

// Every power of ten that a double holds exactly.
constexpr std::array<double, 23> kExactPowersOfTen = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr double kFifteenDigits = 1e15;

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

// Shortest round-trip digits of a positive finite value, as `digits` (no leading zero) and the
// decimal exponent of the first digit: value = d.ddd * 10^exponent.
struct Decimal {
  std::array<char, 48> digits{};
  int length;
  int exponent;
};

// Most model values have few significant digits (21.5, 0.045). A decimal with at most 15
// significant digits is the only one of that length that reads back to its double, so when
// scaling the value to 15 digits gives an integer that divides back exactly (a division of two
// exact doubles is correctly rounded, like reading the text), that integer without its trailing
// zeros is exactly what the general shortest-digits search would find.
bool fifteen_digit_decimal(double value, Decimal& out) {
  if (value >= kFifteenDigits) return false;
  const int binary_exponent =
      static_cast<int>((std::bit_cast<std::uint64_t>(value) >> 52) & 0x7FF) - 1023;
  // floor(log10(value)) is this estimate or one more.
  const int estimate = (binary_exponent * 78913) >> 18;
  int scale = 14 - estimate;
  if (scale > 22) return false;
  if (scale < 0) scale = 0;
  double scaled = value * kExactPowersOfTen[static_cast<std::size_t>(scale)];
  if (scaled >= kFifteenDigits) {
    if (scale == 0) return false;
    --scale;
    scaled = value * kExactPowersOfTen[static_cast<std::size_t>(scale)];
  }
  // Non-negative and below 2^53, so adding a half and truncating rounds it to an integer; which
  // way a tie goes does not matter, the exact check below decides.
  std::uint64_t mantissa = static_cast<std::uint64_t>(scaled + 0.5);
  const double scale_power = kExactPowersOfTen[static_cast<std::size_t>(scale)];
  if (static_cast<double>(mantissa) / scale_power != value) return false;
  const int trailing_zeros = strip_trailing_zeros(mantissa);
  const auto end =
      std::to_chars(out.digits.data(), out.digits.data() + out.digits.size(), mantissa);
  out.length = static_cast<int>(end.ptr - out.digits.data());
  out.exponent = out.length - 1 - scale + trailing_zeros;
  return true;
}

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

// Digits are moved in blocks of this fixed size, whatever their count (at most 17): a fixed-size
// copy is a couple of register moves, a variable one a library call. The digit array and the
// output buffer are large enough for the bytes copied past the end, which are overwritten or cut
// off afterwards.
constexpr std::size_t kBlock = 24;
static_assert(sizeof(Decimal::digits) >= 17 + kBlock);

char* put_exponent(char* out, int exponent) {
  *out++ = 'e';
  return std::to_chars(out, out + 8, exponent).ptr;
}

// Plain decimal for magnitudes up to 10^16 and down to 10^-5, a bare exponent otherwise.
char* lay_out(char* out, const Decimal& decimal) {
  const char* digits = decimal.digits.data();
  const int length = decimal.length;
  const int point = decimal.exponent + 1;  // digits before the decimal point
  if (point >= length && point <= 16) {    // 1500.0
    std::memcpy(out, digits, kBlock);
    std::memset(out + length, '0', 16);
    out += point;
    std::memcpy(out, ".0", 2);
    return out + 2;
  }
  if (point > 0 && point <= 16) {  // 21.375
    std::memcpy(out, digits, kBlock);
    out[point] = '.';
    std::memcpy(out + point + 1, digits + point, kBlock);
    return out + length + 1;
  }
  if (point > -5 && point <= 0) {  // 0.00125
    std::memcpy(out, "0.0000", 6);
    std::memcpy(out + 2 - point, digits, kBlock);
    return out + 2 - point + length;
  }
  *out++ = digits[0];  // 1.25e-7
  if (length > 1) {
    *out++ = '.';
    std::memcpy(out, digits + 1, kBlock);
    out += length - 1;
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
  Decimal decimal;
  if (!fifteen_digit_decimal(value, decimal)) decimal = shortest_decimal(value);
  return static_cast<std::size_t>(lay_out(out, decimal) - buffer);
}

}  // namespace model_editing
