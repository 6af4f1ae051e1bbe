#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/big_count.h"
#include "common/error.h"
#include "json/json.h"
#include "native_runner/batch_config.h"
#include "native_runner/batch_log.h"
#include "native_runner/batch_records.h"
#include "native_runner/combination_output.h"
#include "native_runner/files.h"
#include "native_runner/parsed_files.h"

// The preparation of one combination's variant: the base model, its parameter files merged in,
// the weather file announced, the zone allocations applied, the finishing rules, and the variant
// file written into the combination's result directory.
namespace native_runner {

// Where one combination stands; the numbers every record of it carries.
struct Combination {
  const Group& group;
  common::BigCount index;
  common::BigCount total;
  std::string name;
  double percentage;
  std::vector<std::string_view> values;

  LogPosition position() const { return LogPosition{name, index, total}; }
  // Its number counted from 1, as the progress snapshot gives it.
  common::BigCount next_index() const {
    common::BigCount next = index;
    next.increment();
    return next;
  }
};

// A variant written into its result directory.
struct BuiltVariant {
  json_text::Json model;
  std::string text;  // the variant file's bytes
  std::filesystem::path result_dir;
  std::filesystem::path file;
};

// What a variant is built from and where it goes.
struct VariantSources {
  const Files& files;
  ParsedFiles& parsed;                      // the base models and parameter files, as parsed
  const std::filesystem::path& base;        // the parameter tree
  const std::filesystem::path& output_dir;  // holds the result directories
  std::string_view config_name;
  bool keeps_model = true;  // false: BuiltVariant::model is left empty (nothing simulates it)
};

// Records kept in a CombinationOutput, to be written in their turn.
CombinationOutput::Record progress_record(BatchRecords& records, std::string model,
                                          common::BigCount current, common::BigCount total,
                                          double percentage, std::string status);
CombinationOutput::Record event_record(BatchRecords& records, std::string type, std::string message,
                                       const Combination& c);

// Builds and writes the combination's variant, printing and recording into `output` as it goes.
// Nothing when the combination is skipped: its base model or a parameter file is missing, which
// has been said and recorded. A parameter that cannot be merged is recorded ("MERGE_FAILED") and
// returned as the failure; every other failure is returned unchanged.
common::Result<std::optional<BuiltVariant>> build_variant(const Combination& c,
                                                          const VariantSources& sources,
                                                          BatchRecords& records,
                                                          CombinationOutput& output);

}  // namespace native_runner
