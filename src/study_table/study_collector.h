#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "native_runner/combination_sample.h"
#include "native_runner/files.h"
#include "study_table/combination_status.h"
#include "study_table/main_effects.h"
#include "study_table/metrics_file.h"

namespace study_table {

struct CollectRequest {
  std::filesystem::path config_path;
  std::filesystem::path output_dir;
  std::optional<std::filesystem::path> table_path;  // {output_dir}/study_{config}.csv when empty
  std::vector<Metric> metrics;
  bool for_report = false;  // keep the main effects and the first rows
  // The batch's --sample: the rows are then exactly the sampled combinations.
  std::optional<native_runner::SampleRequest> sample;
};

// How many succeeded rows lack a metric, and why the first of them does.
struct MissingValues {
  std::uint64_t rows = 0;
  std::string first_model;
  std::string first_reason;
};

struct StudyTable {
  std::string config_name;
  std::filesystem::path table_path;
  std::uint64_t rows = 0;
  std::array<std::uint64_t, kStatuses.size()> counts{};  // in kStatuses order
  std::vector<MissingValues> missing;                    // one per metric
  // With for_report only:
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> first_rows;  // at most kReportRows
  std::optional<MainEffects> effects;

  std::uint64_t count(Status status) const { return counts[static_cast<std::size_t>(status)]; }
};

// Rows a report shows in full; the table file has them all.
inline constexpr std::size_t kReportRows = 2000;

// Writes the table of the batch that `request.config_path` describes in `request.output_dir`:
// one row per combination (or sampled combination) in batch order, streamed to a temporary file that replaces the table
// only when whole. Fails, leaving any previous table as it was, for a configuration the batch
// could not run, a missing output directory, an error log, variant file or outcome record that
// cannot be read, or a table that cannot be written.
common::Result<StudyTable> collect_study(const native_runner::Files& files,
                                         const CollectRequest& request);

}  // namespace study_table
