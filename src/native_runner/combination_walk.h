#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "common/big_count.h"
#include "common/error.h"
#include "native_runner/batch_config.h"
#include "native_runner/combination_sample.h"

namespace native_runner {

// The combinations of one group that a batch visits, in ascending index order: every one, or a
// sample. The batch runner and the study table both loop over this, so they cannot disagree on
// which combinations a batch has. A shard's share is taken from what the walk visits (every
// visited combination counts towards the batch-wide sequence that in_shard reads), so the shards
// of a sampled batch split the sample. The lists must outlive the walk.
class CombinationWalk {
 public:
  // Every combination, in CombinationOdometer order, with memory flat in their number.
  explicit CombinationWalk(const std::vector<ParameterList>& lists);
  // The combinations of `sample`, which was chosen from these lists.
  CombinationWalk(const std::vector<ParameterList>& lists, CombinationSample sample);

  bool has_current() const;
  // The current combination's place among those the walk visits: 0, 1, 2, ...
  std::uint64_t position() const { return position_; }
  // Its index in the whole group, which names its model and result directory.
  const common::BigCount& index() const;
  // Its value of each list, in list order.
  std::vector<std::string_view> current() const;
  // Moves to the next combination; false (and no current) after the last one.
  bool advance();

 private:
  const std::vector<ParameterList>& lists_;
  std::optional<CombinationOdometer> every_;
  std::optional<CombinationSample> sample_;
  common::BigCount index_;  // of the current combination when walking every one
  std::uint64_t position_ = 0;
};

// What a batch visits of one group, and the numbers it reports them by.
struct GroupSelection {
  common::BigCount group_size;  // every combination of the group
  std::uint64_t visited = 0;    // those the walk visits: a sample's size, or the group's
  bool sampled = false;         // false when the walk visits every combination
  CombinationWalk walk;
};

// Without a request, every combination of the group; fails, as count_combinations does, when
// there are more than 64 bits can count. With one, the group's sample when it holds more than
// `request->size` combinations, and every combination otherwise; fails, saying so, when the
// sample is too large for memory.
common::Result<GroupSelection> select_combinations(const std::vector<ParameterList>& lists,
                                                   const std::optional<SampleRequest>& request);

}  // namespace native_runner
