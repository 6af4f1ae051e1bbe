#include "study_table/failed_models.h"

#include "batch_watch/batch_files.h"
#include "batch_watch/record_lines.h"
#include "batch_watch/record_time.h"
#include "json/json_members.h"
#include "platform/file_stream.h"
#include "platform/file_system.h"

namespace study_table {
namespace {

constexpr std::size_t kPieceSize = 1 << 20;

std::string_view text_member(const json_text::Json& record, std::string_view name) {
  const std::string* text = json_text::find_string_member(record, name);
  return text ? std::string_view(*text) : std::string_view();
}

}  // namespace

common::Result<FailedModels> FailedModels::read(const std::filesystem::path& output_dir) {
  FailedModels models;
  for (const std::string& job_id : batch_watch::JobIdScanner().scan(output_dir)) {
    const auto log = output_dir / "logs" / "errors" /
                     platform::path_from_utf8("batch_errors_" + job_id + ".jsonl");
    if (!platform::exists(log)) continue;
    // Lines cross piece boundaries; the unfinished end of a piece waits for the next one, and
    // a last line without its line feed is still being written.
    std::string pending;
    auto read = platform::read_file_in_pieces(log, kPieceSize, [&](std::string_view piece) {
      pending += piece;
      const std::size_t end = pending.rfind('\n');
      if (end == std::string::npos) return;
      models.fold(std::string_view(pending).substr(0, end + 1));
      pending.erase(0, end + 1);
    });
    if (!read) {
      return common::fail("Cannot read " + platform::path_text(log) + ": " + read.error().message);
    }
  }
  // Only the failures are asked about; the rest was needed to know which record came last.
  std::erase_if(models.last_, [](const auto& entry) { return !entry.second.failed; });
  return models;
}

// Records of one model from different logs (a batch and a later rerun of it) are ordered by
// their time; within a log, a later line of the same second wins.
void FailedModels::fold(std::string_view complete_lines) {
  for (const auto& record : batch_watch::complete_records(complete_lines)) {
    const auto time = batch_watch::parse_record_time(text_member(record, "timestamp"));
    const std::string_view model = text_member(record, "model_name");
    if (!time || model.empty()) continue;
    Last& last = last_[std::string(model)];
    if (*time < last.time) continue;
    last = Last{*time, text_member(record, "error_code") == "SIMULATION_FAILED"};
  }
}

bool FailedModels::failed(std::string_view model_name) const {
  const auto found = last_.find(std::string(model_name));
  return found != last_.end() && found->second.failed;
}

}  // namespace study_table
