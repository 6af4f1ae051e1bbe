#include "batch_watch/batch_files.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "batch_watch/record_lines.h"
#include "platform/file_system.h"

namespace batch_watch {
namespace {

namespace fs = std::filesystem;

struct NamePattern {
  const char* folder;  // below the output directory
  std::string_view prefix;
  std::string_view suffix;
};

constexpr NamePattern kPatterns[] = {
    {"", "progress_", ".json"},
    {"", "sim_progress_", ".json"},
    {"logs/processing", "batch_processing_", ".log"},
    {"logs/errors", "batch_errors_", ".jsonl"},
};

void collect_ids(const fs::path& folder, const NamePattern& pattern,
                 std::vector<std::string>& ids) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = platform::path_text(it->path().filename());
    if (name.size() <= pattern.prefix.size() + pattern.suffix.size() ||
        !name.starts_with(pattern.prefix) || !name.ends_with(pattern.suffix)) {
      continue;
    }
    ids.push_back(name.substr(pattern.prefix.size(),
                              name.size() - pattern.prefix.size() - pattern.suffix.size()));
  }
}

std::string read_or_empty(const fs::path& path) {
  auto text = platform::read_file(path);
  return text ? std::move(*text) : std::string();
}

}  // namespace

std::vector<std::string> find_job_ids(const fs::path& output_dir) {
  std::vector<std::string> ids;
  for (const NamePattern& pattern : kPatterns) {
    collect_ids(output_dir / pattern.folder, pattern, ids);
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

JobRecords read_job_records(const fs::path& output_dir, const std::string& job_id) {
  const auto named = [&](std::string_view prefix, std::string_view suffix) {
    return platform::path_from_utf8(std::string(prefix) + job_id + std::string(suffix));
  };
  JobRecords records;
  records.job_id = job_id;
  records.events = complete_records(
      read_or_empty(output_dir / "logs" / "processing" / named("batch_processing_", ".log")));
  records.errors = complete_records(
      read_or_empty(output_dir / "logs" / "errors" / named("batch_errors_", ".jsonl")));
  records.progress = snapshot_record(read_or_empty(output_dir / named("progress_", ".json")));
  records.simulation_progress =
      snapshot_record(read_or_empty(output_dir / named("sim_progress_", ".json")));
  return records;
}

}  // namespace batch_watch
