#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/file_system.h"

namespace batch_watch {

// Follows one log that another process appends to, reading each byte once: every read returns
// complete lines added since the last one, a piece of bounded size at a time, so a log of
// hundreds of megabytes is never held whole. A partial last line is read again next time, once it
// is whole.
class LogTail {
 public:
  struct Lines {
    // The path no longer holds what was read before (it shrank, was replaced by another file, was
    // rewritten in place, or is gone): whatever was made of the earlier lines no longer holds,
    // and `text` starts at the beginning of the file.
    bool restarted = false;
    std::string text;   // complete lines, each with its line feed
    bool more = false;  // the piece was full: read again for what follows
  };

  // A missing or unreadable file reads as empty.
  Lines read(const std::filesystem::path& path, std::size_t piece = kPiece);

  // The next read starts from the beginning again, as for a file never read.
  void rewind() { *this = LogTail(); }

  static constexpr std::size_t kPiece = std::size_t{4} << 20;

 private:
  // The last line before `offset_` (at most this long) is read again each time: a file rewritten
  // in place to the same length or longer (as a copy over it does) keeps its identity and grows,
  // but its line there, with its timestamp and model name, is another.
  static constexpr std::size_t kCheckedBytes = 4096;

  std::optional<platform::FileIdentity> identity_;
  std::uint64_t offset_ = 0;  // just after the last complete line returned
  std::string checked_;
};

}  // namespace batch_watch
