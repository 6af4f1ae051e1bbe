#include "batch_watch/batch_files.h"

#include <algorithm>
#include <chrono>
#include <span>
#include <string_view>
#include <system_error>

#include "platform/file_system.h"

namespace batch_watch {
namespace {

namespace fs = std::filesystem;

struct NamePattern {
  std::string_view prefix;
  std::string_view suffix;
};

constexpr NamePattern kTopLevel[] = {{"progress_", ".json"}, {"sim_progress_", ".json"}};
constexpr NamePattern kProcessing = {"batch_processing_", ".log"};
constexpr NamePattern kErrors = {"batch_errors_", ".jsonl"};

// A directory's time may be as coarse as a few seconds on some file systems: an entry added in
// the same step as the listing would not change it.
constexpr auto kTimeResolution = std::chrono::seconds(3);

// Once listing the output directory takes longer than this, the next listing waits this many
// times as long as the last one took.
constexpr auto kQuickListing = std::chrono::milliseconds(10);
constexpr int kListingShare = 50;

void collect_ids(const fs::path& folder, std::span<const NamePattern> patterns,
                 std::vector<std::string>& ids) {
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::string name = platform::path_text(it->path().filename());
    for (const NamePattern& pattern : patterns) {
      if (name.size() <= pattern.prefix.size() + pattern.suffix.size() ||
          !name.starts_with(pattern.prefix) || !name.ends_with(pattern.suffix)) {
        continue;
      }
      ids.push_back(name.substr(pattern.prefix.size(),
                                name.size() - pattern.prefix.size() - pattern.suffix.size()));
    }
  }
}

}  // namespace

std::vector<std::string> JobIdScanner::scan(const fs::path& output_dir) {
  std::error_code error;
  const auto now = fs::file_time_type::clock::now();
  const auto changed_at = fs::last_write_time(output_dir, error);
  const bool changed = error || !listed_at_ || *listed_at_ != changed_at || !settled_;
  if (changed && std::chrono::steady_clock::now() >= next_listing_) {
    const auto started = std::chrono::steady_clock::now();
    top_level_ids_.clear();
    collect_ids(output_dir, kTopLevel, top_level_ids_);
    listed_at_.reset();
    if (!error) listed_at_ = changed_at;
    settled_ = !error && now - changed_at > kTimeResolution;
    const auto finished = std::chrono::steady_clock::now();
    if (finished - started > kQuickListing) {
      next_listing_ = finished + kListingShare * (finished - started);
    }
  }
  std::vector<std::string> ids = top_level_ids_;
  collect_ids(output_dir / "logs" / "processing", std::span(&kProcessing, 1), ids);
  collect_ids(output_dir / "logs" / "errors", std::span(&kErrors, 1), ids);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

}  // namespace batch_watch
