#include "common/big_count.h"

#include <algorithm>
#include <cstddef>

namespace common {
namespace {

constexpr std::uint64_t kLimbBase = std::uint64_t{1} << 32;
// The largest power of ten in a limb: decimal text is made and read nine digits at a time.
constexpr std::uint32_t kDecimalChunk = 1'000'000'000;
constexpr std::size_t kChunkDigits = 9;

}  // namespace

BigCount::BigCount(std::uint64_t value) { add_word(value); }

std::optional<BigCount> BigCount::from_decimal(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  BigCount value;
  // The first chunk takes the odd digits so that every later one is a full nine.
  std::size_t chunk = digits.size() % kChunkDigits;
  if (chunk == 0) chunk = kChunkDigits;
  std::uint64_t scale = 1;
  for (std::size_t i = 0; i < chunk; ++i) scale *= 10;
  for (std::size_t start = 0; start < digits.size(); start += chunk, chunk = kChunkDigits) {
    std::uint64_t part = 0;
    for (char c : digits.substr(start, chunk)) {
      if (c < '0' || c > '9') return std::nullopt;
      part = part * 10 + static_cast<std::uint64_t>(c - '0');
    }
    value.multiply_add(start == 0 ? scale : kDecimalChunk, part);
  }
  return value;
}

void BigCount::multiply_add(std::uint64_t factor, std::uint64_t addend) {
  const auto low = static_cast<std::uint32_t>(factor);
  const auto high = static_cast<std::uint32_t>(factor >> 32);
  if (high == 0) {
    multiply_word(low);
  } else {
    BigCount upper = *this;
    upper.multiply_word(high);
    if (!upper.is_zero()) upper.limbs_.insert(upper.limbs_.begin(), 0);
    multiply_word(low);
    add(upper);
  }
  add_word(addend);
}

void BigCount::add(const BigCount& other) {
  if (limbs_.size() < other.limbs_.size()) limbs_.resize(other.limbs_.size(), 0);
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < limbs_.size(); ++i) {
    if (i >= other.limbs_.size() && carry == 0) return;
    const std::uint64_t sum =
        std::uint64_t{limbs_[i]} + (i < other.limbs_.size() ? other.limbs_[i] : 0) + carry;
    limbs_[i] = static_cast<std::uint32_t>(sum);
    carry = sum >> 32;
  }
  if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
}

void BigCount::add_word(std::uint64_t value) {
  std::size_t i = 0;
  while (value != 0) {
    if (i == limbs_.size()) limbs_.push_back(0);
    const std::uint64_t sum = std::uint64_t{limbs_[i]} + (value % kLimbBase);
    limbs_[i] = static_cast<std::uint32_t>(sum);
    value = (value >> 32) + (sum >> 32);
    ++i;
  }
}

void BigCount::multiply_word(std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (std::uint32_t& limb : limbs_) {
    const std::uint64_t product = std::uint64_t{limb} * factor + carry;
    limb = static_cast<std::uint32_t>(product);
    carry = product >> 32;
  }
  if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
  trim();
}

std::uint32_t BigCount::divide_word(std::uint32_t divisor) {
  std::uint64_t remainder = 0;
  for (std::size_t i = limbs_.size(); i-- > 0;) {
    const std::uint64_t part = (remainder << 32) | limbs_[i];
    limbs_[i] = static_cast<std::uint32_t>(part / divisor);
    remainder = part % divisor;
  }
  trim();
  return static_cast<std::uint32_t>(remainder);
}

void BigCount::trim() {
  while (!limbs_.empty() && limbs_.back() == 0) limbs_.pop_back();
}

std::optional<std::uint64_t> BigCount::to_u64() const {
  if (limbs_.size() > 2) return std::nullopt;
  std::uint64_t value = 0;
  for (std::size_t i = limbs_.size(); i-- > 0;) value = (value << 32) | limbs_[i];
  return value;
}

double BigCount::to_double() const {
  double value = 0.0;
  for (std::size_t i = limbs_.size(); i-- > 0;) {
    value = value * static_cast<double>(kLimbBase) + static_cast<double>(limbs_[i]);
  }
  return value;
}

std::string BigCount::decimal() const {
  if (const auto small = to_u64()) return std::to_string(*small);
  std::vector<std::uint32_t> chunks;  // least significant first
  BigCount rest = *this;
  while (!rest.is_zero()) chunks.push_back(rest.divide_word(kDecimalChunk));
  std::string text = std::to_string(chunks.back());
  for (std::size_t i = chunks.size() - 1; i-- > 0;) {
    const std::string part = std::to_string(chunks[i]);
    text.append(kChunkDigits - part.size(), '0');
    text += part;
  }
  return text;
}

std::strong_ordering operator<=>(const BigCount& a, const BigCount& b) {
  if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() <=> b.limbs_.size();
  return std::lexicographical_compare_three_way(a.limbs_.rbegin(), a.limbs_.rend(),
                                                b.limbs_.rbegin(), b.limbs_.rend());
}

BigCount product_of(const std::vector<std::uint64_t>& factors) {
  BigCount product(1);
  for (std::uint64_t factor : factors) product.multiply_add(factor, 0);
  return product;
}

}  // namespace common
