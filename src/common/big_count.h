#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace common {

// An unsigned whole number of any size. A group's number of combinations is the product of its
// list lengths (40 lists of 30 values give about 1.2e59), and a combination's index is built from
// its digits, so neither may be bounded by a machine word. Values are exact; only to_double
// rounds.
class BigCount {
 public:
  BigCount() = default;
  // Implicit: every count a machine word holds is one, so the records that carry counts take
  // either.
  BigCount(std::uint64_t value);

  // The whole of `digits` as a number: ASCII digits only, leading zeros allowed, any length.
  // Nothing for an empty text or any other character.
  static std::optional<BigCount> from_decimal(std::string_view digits);

  // *this = *this * factor + addend: one step of Horner's rule over mixed-radix digits.
  void multiply_add(std::uint64_t factor, std::uint64_t addend);
  void add(const BigCount& other);
  void increment() { add_word(1); }

  bool is_zero() const { return limbs_.empty(); }
  // The value when it fits in 64 bits.
  std::optional<std::uint64_t> to_u64() const;
  // The nearest double or one of its neighbours (enough for a percentage); infinity beyond the
  // range of a double.
  double to_double() const;
  // Exact decimal text without leading zeros ("0" for zero).
  std::string decimal() const;

  friend bool operator==(const BigCount&, const BigCount&) = default;
  friend std::strong_ordering operator<=>(const BigCount& a, const BigCount& b);

 private:
  void add_word(std::uint64_t value);
  void multiply_word(std::uint32_t factor);
  // Divides in place and returns the remainder.
  std::uint32_t divide_word(std::uint32_t divisor);
  void trim();

  std::vector<std::uint32_t> limbs_;  // least significant first; no zero limb at the top
};

// The product of the numbers; 1 for none.
BigCount product_of(const std::vector<std::uint64_t>& factors);

}  // namespace common
