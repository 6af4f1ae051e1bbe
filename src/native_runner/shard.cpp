#include "native_runner/shard.h"

#include "common/whole_number.h"

namespace native_runner {

common::Result<Shard> parse_shard(std::string_view text) {
  const auto slash = text.find('/');
  if (slash != std::string_view::npos) {
    const auto index = common::parse_whole_number(text.substr(0, slash));
    const auto count = common::parse_whole_number(text.substr(slash + 1));
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
