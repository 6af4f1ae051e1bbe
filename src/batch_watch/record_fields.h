#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "json/json.h"

namespace batch_watch {

// The members the watcher uses of one log line, with the meaning the full JSON reader gives them:
// a member that is absent or of another type reads as empty (texts) or as nothing (numbers, which
// count only as 64-bit unsigned integers); of repeated members the last one counts.
struct RecordFields {
  std::string_view timestamp;
  std::string_view event_type;
  std::string_view error_code;
  std::string_view error_message;
  std::string_view model_name;
  std::string_view config_name;
  std::optional<std::uint64_t> combination_index;
  std::optional<std::uint64_t> total_combinations;
};

// Reads log lines into fields. A log holds hundreds of thousands of lines of one flat shape, so
// such lines are read in place; anything else (escapes, nested members, other numbers, a line
// that is not JSON) goes through the full reader. The texts point into the line, or into this
// reader, and stay valid until the next read.
class RecordFieldReader {
 public:
  // The fields of a line without its line feed; nothing when the line is not a JSON object.
  std::optional<RecordFields> read(std::string_view line);

 private:
  json_text::Json fallback_;
};

// A member of a parsed record with the same meaning: the text, or empty when absent or of another
// type; the number when a 64-bit unsigned integer.
std::string_view text_member(const json_text::Json& record, const char* key);
std::optional<std::uint64_t> count_member(const json_text::Json& record, const char* key);

}  // namespace batch_watch
