#include "study_table/run_outputs.h"

#include <algorithm>
#include <utility>

#include "platform/file_system.h"
#include "study_table/summary_csv.h"

namespace study_table {

std::filesystem::path engine_outputs_dir(const std::filesystem::path& result_dir) {
  return result_dir / "engine" / "outputs";
}

RunOutputs::RunOutputs(const native_runner::Files& files, std::filesystem::path outputs_dir)
    : files_(files), dir_(std::move(outputs_dir)) {}

// Sorted, so "several files match" always names the same first one; a run that left nothing has
// no folder at all.
common::Result<std::vector<std::string>> RunOutputs::list_outputs() const {
  if (!files_.exists(dir_)) return std::vector<std::string>{};
  auto listed = files_.files_below(dir_);
  if (listed) std::sort(listed->begin(), listed->end());
  return listed;
}

common::Result<const std::string*> RunOutputs::text_of(const common::PathPattern& pattern) {
  if (!listing_) listing_ = list_outputs();
  if (!*listing_) return common::fail("cannot list engine/outputs: " + listing_->error().message);
  const std::string* match = nullptr;
  std::size_t matches = 0;
  for (const std::string& file : **listing_) {
    if (!pattern.matches(file)) continue;
    if (++matches == 1) match = &file;
  }
  const std::string quoted = "\"" + pattern.text() + "\"";
  if (matches == 0) return common::fail("no file matches " + quoted);
  if (matches > 1) {
    return common::fail(std::to_string(matches) + " files match " + quoted + " (" + *match +
                        ", ...)");
  }
  last_file_ = *match;
  auto found = texts_.find(*match);
  if (found == texts_.end()) {
    found = texts_.emplace(*match, files_.read(dir_ / platform::path_from_utf8(*match))).first;
  }
  if (!found->second)
    return common::fail("cannot read " + *match + ": " + found->second.error().message);
  return &*found->second;
}

common::Result<std::string> RunOutputs::value_of(const Metric& metric) {
  auto text = text_of(metric.file);
  if (!text) return std::unexpected(text.error());
  common::Result<std::string> value;
  switch (metric.kind) {
    case Metric::Kind::SummaryCell:
      value = find_summary_cell(**text, CellQuery{metric.section, metric.row, metric.column});
      break;
    case Metric::Kind::Reduction:
      value = reduce_time_series(**text, metric.column, metric.reduction);
      break;
    case Metric::Kind::JsonValue:
      value = look_up_json(**text, metric.pointer);
      break;
  }
  if (!value) return common::fail(last_file_ + ": " + value.error().message);
  return value;
}

}  // namespace study_table
