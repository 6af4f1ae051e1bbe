#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/error.h"

namespace native_runner {

// One of `count` numbered copies of a batch that a cluster scheduler starts side by side. Each
// copy takes every count-th combination, so the shards' work stays balanced whatever the groups'
// sizes, and no two copies write the same result directory.
struct Shard {
  std::uint64_t index = 0;
  std::uint64_t count = 1;

  friend bool operator==(const Shard&, const Shard&) = default;
};

// Reads "K/N": two unsigned decimal numbers with 0 <= K < N, nothing else (no sign, no spaces).
// The error names the text as given.
common::Result<Shard> parse_shard(std::string_view text);

// Whether the combination with this batch-wide sequence number (0, 1, 2, ... over all groups
// in configuration order) belongs to `shard`.
bool in_shard(std::uint64_t sequence_number, const Shard& shard);

// The job identifier of one shard: "{base}_shard_{K}_of_{N}". It names the shard's progress
// files and logs, so shards sharing one output directory never write the same file.
std::string shard_job_id(std::string_view base, const Shard& shard);

}  // namespace native_runner
