#include "batch_watch/record_lines.h"

#include <optional>

#include "json/json_reader.h"

namespace batch_watch {

std::vector<json_text::Json> complete_records(std::string_view log_text) {
  std::vector<json_text::Json> records;
  std::size_t start = 0;
  for (std::size_t end = log_text.find('\n'); end != std::string_view::npos;
       start = end + 1, end = log_text.find('\n', start)) {
    std::string_view line = log_text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    if (auto parsed = json_text::parse_json(line); parsed && parsed->is_object()) {
      records.push_back(std::move(*parsed));
    }
  }
  return records;
}

std::optional<json_text::Json> snapshot_record(std::string_view file_text) {
  auto parsed = json_text::parse_json(file_text);
  if (!parsed || !parsed->is_object()) return std::nullopt;
  return std::move(*parsed);
}

}  // namespace batch_watch
