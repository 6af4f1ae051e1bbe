#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace batch_watch {

// How many shards of the sharded batches among `job_ids` have left no file yet. A shard's id,
// "{base}_shard_{K}_of_{N}", names how many others its batch has, so a shard still waiting in a
// scheduler's queue keeps the batch from looking ended. Ids of any other form count as no shard.
std::uint64_t shards_not_started(const std::vector<std::string>& job_ids);

}  // namespace batch_watch
