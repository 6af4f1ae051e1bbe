#include "batch_watch/log_tail.h"

namespace batch_watch {

LogTail::Lines LogTail::read(const std::filesystem::path& path, std::size_t piece) {
  Lines lines;
  std::uint64_t from = offset_ - checked_.size();
  for (std::size_t wanted = checked_.size() + piece;; wanted *= 2) {
    auto tail = platform::read_file_from(path, from, wanted);
    const bool same_file = tail &&
                           (!identity_ || !tail->identity || *identity_ == *tail->identity) &&
                           tail->bytes.starts_with(checked_);
    if (!same_file && offset_ > 0) {
      rewind();
      lines.restarted = true;
      from = 0;
      wanted = piece;
      if (tail) tail = platform::read_file_from(path, 0, wanted);
    }
    if (!tail) return lines;
    identity_ = tail->identity;
    const std::string_view bytes = tail->bytes;
    const bool full = bytes.size() == wanted;
    const std::size_t end = bytes.rfind('\n');
    if (end == std::string_view::npos || end + 1 <= checked_.size()) {
      // A line longer than the piece: read a larger one.
      if (full) continue;
      return lines;
    }
    lines.text.assign(bytes.substr(checked_.size(), end + 1 - checked_.size()));
    lines.more = full;
    offset_ = from + end + 1;
    const std::size_t line_start = end == 0 ? 0 : bytes.rfind('\n', end - 1) + 1;
    const std::size_t kept = std::min<std::size_t>(end + 1 - line_start, kCheckedBytes);
    checked_.assign(bytes.substr(end + 1 - kept, kept));
    return lines;
  }
}

}  // namespace batch_watch
