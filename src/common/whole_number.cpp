#include "common/whole_number.h"

#include <charconv>

namespace common {

std::optional<std::uint64_t> parse_whole_number(std::string_view digits) {
  // from_chars alone would take a leading minus sign.
  if (digits.empty() || digits.front() < '0' || digits.front() > '9') return std::nullopt;
  std::uint64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

}  // namespace common
