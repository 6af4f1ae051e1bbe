#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "json/json.h"
#include "common/big_count.h"
#include "native_runner/batch_config.h"
#include "native_runner/combination_walk.h"
#include "native_runner/files.h"

namespace study_table {

// A batch configuration as the table sees it: its groups in batch order and the parameter keys
// of all of them, which become the table's parameter columns.
struct StudyPlan {
  std::string config_name;
  std::unique_ptr<json_text::Json> config;  // the groups point into it
  std::vector<native_runner::Group> groups;
  std::vector<std::string> weather_names;  // per group; empty when it names none
  std::vector<std::string> keys;           // every group's parameter keys, byte-wise order
  // Per group, for each key, the position of its list in the group, or kNoList.
  std::vector<std::vector<std::size_t>> key_lists;
  static constexpr std::size_t kNoList = static_cast<std::size_t>(-1);
  // The batch's sample, when it ran one: the rows are then the sampled combinations.
  std::optional<native_runner::SampleRequest> sample;
};

// Reads and checks the configuration with the batch runner's own reader, so the rows are
// exactly the combinations a batch with the same sample visits. Fails as the batch would.
common::Result<StudyPlan> read_study_plan(const native_runner::Files& files,
                                          const std::filesystem::path& config_path,
                                          const std::optional<native_runner::SampleRequest>& sample);

// One combination: its group, its index in the group, and its value of each parameter key of
// the table (empty for a key its group does not have).
struct StudyRow {
  std::size_t group = 0;  // position in StudyPlan::groups
  common::BigCount index;  // in the whole group, sampled or not
  std::vector<std::string_view> values;  // one per StudyPlan::keys
};

// The combinations the table lists, in batch order (groups by name, then combination index),
// one at a time so that memory stays flat however many there are.
class StudyRows {
 public:
  explicit StudyRows(const StudyPlan& plan);

  // Moves to the next combination; false after the last, or when a group's sample cannot be
  // chosen (see error()).
  bool next(StudyRow& row);
  // Why the rows ended early: a sample too large for memory.
  const std::optional<common::Error>& error() const { return error_; }

 private:
  bool start_group(std::size_t group);

  const StudyPlan& plan_;
  std::size_t group_ = 0;
  std::optional<native_runner::GroupSelection> selection_;
  std::optional<common::Error> error_;
  bool started_ = false;
};

}  // namespace study_table
