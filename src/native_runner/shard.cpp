#include "native_runner/shard.h"

#include <charconv>
#include <optional>

namespace native_runner {
namespace {

// The whole of `digits` as a number; nothing for an empty text, a sign, any other character or
// a value beyond 64 bits.
std::optional<std::uint64_t> whole_number(std::string_view digits) {
  if (digits.empty() || digits.front() < '0' || digits.front() > '9') return std::nullopt;
  std::uint64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

}  // namespace

common::Result<Shard> parse_shard(std::string_view text) {
  const auto slash = text.find('/');
  if (slash != std::string_view::npos) {
    const auto index = whole_number(text.substr(0, slash));
    const auto count = whole_number(text.substr(slash + 1));
    if (index && count && *index < *count) return Shard{*index, *count};
  }
  return common::fail("Invalid shard '" + std::string(text) +
                      "': expected K/N, two whole numbers with 0 <= K < N");
}

bool in_shard(std::uint64_t sequence_number, const Shard& shard) {
  return sequence_number % shard.count == shard.index;
}

std::string shard_job_id(std::string_view base, const Shard& shard) {
  return std::string(base) + "_shard_" + std::to_string(shard.index) + "_of_" +
         std::to_string(shard.count);
}

}  // namespace native_runner
