#include "batch_watch/shard_jobs.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "common/whole_number.h"

namespace batch_watch {
namespace {

struct ShardId {
  std::string base;
  std::uint64_t index;
  std::uint64_t count;
};

std::optional<ShardId> shard_id(std::string_view id) {
  constexpr std::string_view kShard = "_shard_";
  constexpr std::string_view kOf = "_of_";
  const auto shard = id.rfind(kShard);
  if (shard == std::string_view::npos) return std::nullopt;
  const std::string_view numbers = id.substr(shard + kShard.size());
  const auto of = numbers.find(kOf);
  if (of == std::string_view::npos) return std::nullopt;
  const auto index = common::parse_whole_number(numbers.substr(0, of));
  const auto count = common::parse_whole_number(numbers.substr(of + kOf.size()));
  if (!index || !count || *index >= *count) return std::nullopt;
  return ShardId{std::string(id.substr(0, shard)), *index, *count};
}

}  // namespace

std::uint64_t shards_not_started(const std::vector<std::string>& job_ids) {
  std::map<std::pair<std::string, std::uint64_t>, std::set<std::uint64_t>> seen;
  for (const std::string& id : job_ids) {
    if (auto shard = shard_id(id)) seen[{shard->base, shard->count}].insert(shard->index);
  }
  std::uint64_t missing = 0;
  for (const auto& [batch, indices] : seen) {
    const std::uint64_t gap = batch.second - indices.size();
    missing = gap > UINT64_MAX - missing ? UINT64_MAX : missing + gap;
  }
  return missing;
}

}  // namespace batch_watch
