#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "json/json.h"

namespace batch_watch {

// The JSON objects of a log that another process is appending to. Only lines ended by a line
// feed count: the last line may still be on its way. A line that is not a JSON object (a torn
// write, stray text) is left out rather than failing the whole read.
std::vector<json_text::Json> complete_records(std::string_view log_text);

// The JSON object of a snapshot file that is rewritten in place; nothing while the file is
// empty or holds only the first part of its new text.
std::optional<json_text::Json> snapshot_record(std::string_view file_text);

}  // namespace batch_watch
