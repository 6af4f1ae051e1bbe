#include "batch_watch/job_reader.h"

#include "batch_watch/record_lines.h"
#include "platform/file_system.h"

namespace batch_watch {
namespace {

std::filesystem::path job_file(const std::filesystem::path& folder, std::string_view prefix,
                               const std::string& job_id, std::string_view suffix) {
  return folder / platform::path_from_utf8(std::string(prefix) + job_id + std::string(suffix));
}

template <typename Visit>
void for_each_line(std::string_view text, const Visit& visit) {
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string_view::npos;
       start = end + 1) {
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) visit(line);
  }
}

// Folds complete processing log lines; true when one of them started a new batch, whose errors
// must then be judged again from the error log's beginning.
bool fold_events(JobFold& fold, RecordFieldReader& fields, std::string_view text) {
  bool started = false;
  for_each_line(text, [&](std::string_view line) {
    const auto record = fields.read(line);
    if (!record) return;
    if (record->event_type == "BATCH_START") {
      fold.start(*record);
      started = true;
    } else if (fold.begun()) {
      fold.event(*record);
    }
  });
  return started;
}

void fold_errors(JobFold& fold, RecordFieldReader& fields, std::string_view text) {
  for_each_line(text, [&](std::string_view line) {
    if (const auto record = fields.read(line)) fold.error(*record);
  });
}

// Whether a snapshot file changed since it was last read, and its text now.
bool reread(const std::filesystem::path& path, std::string& kept) {
  auto text = platform::read_file(path);
  std::string now = text ? std::move(*text) : std::string();
  if (now == kept) return false;
  kept = std::move(now);
  return true;
}

}  // namespace

JobReader::JobReader(std::string job_id, NameTable& names)
    : job_id_(std::move(job_id)), names_(&names), fold_(job_id_, names) {}

bool JobReader::read(const std::filesystem::path& output_dir) {
  const bool logs = read_logs(output_dir);
  const bool snapshots = read_snapshots(output_dir);
  // Snapshots are judged against the batch the logs describe now.
  if (logs || snapshots) {
    fold_.progress(snapshot_record(progress_text_));
    fold_.simulation_progress(snapshot_record(simulation_text_));
  }
  return logs || snapshots;
}

bool JobReader::read_logs(const std::filesystem::path& output_dir) {
  const auto logs = output_dir / "logs";
  const auto events_path = job_file(logs / "processing", "batch_processing_", job_id_, ".log");
  const auto errors_path = job_file(logs / "errors", "batch_errors_", job_id_, ".jsonl");
  bool changed = false;
  const auto read_events = [&] {
    for (bool more = true; more;) {
      LogTail::Lines lines = events_.read(events_path);
      if (lines.restarted) {
        fold_ = JobFold(job_id_, *names_);
        errors_.rewind();
      }
      // A new batch's errors are judged again from the error log's beginning.
      if (fold_events(fold_, fields_, lines.text)) errors_.rewind();
      changed = changed || lines.restarted || !lines.text.empty();
      more = lines.more;
    }
  };
  // The processing log first, so that every error's combination is known when the error is read.
  read_events();
  for (bool more = true; more;) {
    LogTail::Lines lines = errors_.read(errors_path);
    if (lines.restarted) {
      // What the earlier error lines did cannot be taken back one by one: fold the job again.
      fold_ = JobFold(job_id_, *names_);
      events_.rewind();
      errors_.rewind();
      read_events();
      changed = true;
      continue;
    }
    fold_errors(fold_, fields_, lines.text);
    changed = changed || !lines.text.empty();
    more = lines.more;
  }
  return changed;
}

bool JobReader::read_snapshots(const std::filesystem::path& output_dir) {
  const bool progress = reread(job_file(output_dir, "progress_", job_id_, ".json"), progress_text_);
  const bool simulation =
      reread(job_file(output_dir, "sim_progress_", job_id_, ".json"), simulation_text_);
  return progress || simulation;
}

JobFold fold_job(const std::string& job_id, NameTable& names, const JobTexts& texts) {
  JobFold fold(job_id, names);
  RecordFieldReader fields;
  fold_events(fold, fields, texts.processing_log);
  fold_errors(fold, fields, texts.error_log);
  fold.progress(snapshot_record(texts.progress));
  fold.simulation_progress(snapshot_record(texts.simulation_progress));
  return fold;
}

}  // namespace batch_watch
