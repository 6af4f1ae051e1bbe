#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// What the batch runner leaves in an output directory, read without writing or locking anything:
// every file is opened for reading only (shared for writing and deleting on Windows) and closed
// again at once.
namespace batch_watch {

// Finds the job ids named by "progress_{id}.json", "sim_progress_{id}.json",
// "logs/processing/batch_processing_{id}.log" and "logs/errors/batch_errors_{id}.jsonl", sorted
// and without repeats; a missing directory has none. The two log folders are small and listed
// every time. The output directory also holds a result directory per combination, a million of
// them in a large study, so it is listed again only once its modification time says that
// something was added or removed, and, while a batch keeps adding result directories to a
// directory that takes long to list, no more than 2 % of the time. A batch logs its start before it writes a progress file, so what only
// this listing finds, a job with progress files and no log, is one whose logs were deleted.
class JobIdScanner {
 public:
  std::vector<std::string> scan(const std::filesystem::path& output_dir);

 private:
  std::vector<std::string> top_level_ids_;
  std::optional<std::filesystem::file_time_type> listed_at_;  // the directory's time then
  bool settled_ = false;  // that time was old enough when listed to catch every later change
  std::chrono::steady_clock::time_point next_listing_{};
};

}  // namespace batch_watch
