// A log line read in place must mean what the full reader makes of it: the same members, or no
// record at all.
#include <optional>
#include <string>

#include "batch_watch/record_fields.h"
#include "fuzz_support.h"

namespace {

using fuzz_support::Json;

std::string text_of(const Json& record, const char* key) {
  const auto found = record.find(key);
  return found != record.end() && found->is_string() ? found->get<std::string>() : "";
}

std::optional<std::uint64_t> count_of(const Json& record, const char* key) {
  const auto found = record.find(key);
  if (found == record.end() || !found->is_number_unsigned()) return std::nullopt;
  return found->get<std::uint64_t>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using fuzz_support::require;
  const std::string_view line = fuzz_support::as_text(data, size);
  batch_watch::RecordFieldReader reader;
  const auto fields = reader.read(line);
  const auto parsed = json_text::parse_json(line);
  const bool record = parsed && parsed->is_object();
  require(fields.has_value() == record, "a record exactly when the reader sees an object", line);
  if (!record) return 0;
  require(fields->timestamp == text_of(*parsed, "timestamp") &&
              fields->event_type == text_of(*parsed, "event_type") &&
              fields->error_code == text_of(*parsed, "error_code") &&
              fields->error_message == text_of(*parsed, "error_message") &&
              fields->model_name == text_of(*parsed, "model_name") &&
              fields->config_name == text_of(*parsed, "config_name") &&
              fields->combination_index == count_of(*parsed, "combination_index") &&
              fields->total_combinations == count_of(*parsed, "total_combinations"),
          "the same members as the full reader", line);
  return 0;
}
