#pragma once

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/error.h"
#include "native_runner/files.h"

namespace study_table {

// What the batch left for one combination, as the table reports it.
enum class Status { Succeeded, Failed, Stale, Written, NotRun };
inline constexpr std::array<Status, 5> kStatuses = {Status::Succeeded, Status::Failed,
                                                    Status::Stale, Status::Written, Status::NotRun};

// "succeeded", "failed", "stale", "written", "not_run".
std::string_view status_name(Status status);

// What a combination's result directory holds.
struct ResultFacts {
  std::optional<std::string> variant_sha256;  // of the variant file; nothing when there is none
  std::optional<std::string> outcome_sha256;  // the outcome record's, when there is a record
  std::string duration_s;                     // from the record; empty when it has none
  std::string attempts;                       // likewise
};

// An outcome is believed only for the variant file that is there now: a later batch may have
// rewritten the variant without simulating it again. `last_error_failed` tells whether the
// error logs' last word on the model is a failed simulation.
Status decide_status(const ResultFacts& facts, bool last_error_failed);

// Reads the variant file (hashing it) and, when there is one, the outcome record beside it.
// Records written before runs were timed lack "duration_s" and "attempts"; those stay empty.
// Fails, naming the file, when either exists but cannot be read or the record is not an
// outcome record.
common::Result<ResultFacts> read_result_facts(const native_runner::Files& files,
                                              const std::filesystem::path& result_dir,
                                              std::string_view variant_file_name);

}  // namespace study_table
