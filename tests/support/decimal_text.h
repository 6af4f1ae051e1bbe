#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace test_support {

// Schoolbook arithmetic on decimal text: slow, but shares nothing with the big numbers it checks.
inline std::string decimal_add(const std::string& a, const std::string& b) {
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

// a * factor + addend.
inline std::string decimal_multiply_add(const std::string& a, std::uint64_t factor,
                                        std::uint64_t addend) {
  std::string product = std::to_string(addend);
  std::string shifted = a;  // a * 10^k for the k-th digit of the factor
  for (; factor != 0; factor /= 10, shifted += '0') {
    for (std::uint64_t n = 0; n < factor % 10; ++n) product = decimal_add(product, shifted);
  }
  return product;
}

}  // namespace test_support
