#include "batch_watch/record_fields.h"

#include "common/utf8.h"
#include "json/json_reader.h"

namespace batch_watch {
namespace {

using json_text::Json;

// One member's value as the in-place scan saw it.
struct Value {
  enum class Kind { Text, Count, Other } kind = Kind::Other;
  std::string_view text;
  std::uint64_t count = 0;
};

void assign(RecordFields& fields, std::string_view key, const Value& value) {
  const std::string_view text = value.kind == Value::Kind::Text ? value.text : std::string_view();
  const auto count = value.kind == Value::Kind::Count ? std::optional(value.count) : std::nullopt;
  // By length first: every line has eight or nine members, most of them not wanted.
  switch (key.size()) {
    case 9:
      if (key == "timestamp") fields.timestamp = text;
      return;
    case 10:
      if (key == "event_type") fields.event_type = text;
      else if (key == "error_code") fields.error_code = text;
      else if (key == "model_name") fields.model_name = text;
      return;
    case 11:
      if (key == "config_name") fields.config_name = text;
      return;
    case 13:
      if (key == "error_message") fields.error_message = text;
      return;
    case 17:
      if (key == "combination_index") fields.combination_index = count;
      return;
    case 18:
      if (key == "total_combinations") fields.total_combinations = count;
      return;
    default:
      return;
  }
}

// Reads a flat object of plain texts, whole numbers and literals. Gives up (returns false) at
// the first thing it does not know, which the full reader then judges, so what it accepts is
// exactly what that reader would accept and means the same.
class FlatScan {
 public:
  explicit FlatScan(std::string_view line) : line_(line) {}

  bool object(RecordFields& fields) {
    if (!take('{')) return false;
    if (take('}')) return at_end();
    do {
      std::string_view key;
      Value value;
      if (!text(key) || !take(':') || !member_value(value)) return false;
      assign(fields, key, value);
    } while (take(','));
    return take('}') && at_end();
  }

 private:
  void skip_space() {
    while (at_ < line_.size() &&
           (line_[at_] == ' ' || line_[at_] == '\t' || line_[at_] == '\n' || line_[at_] == '\r')) {
      ++at_;
    }
  }

  bool take(char c) {
    skip_space();
    if (at_ == line_.size() || line_[at_] != c) return false;
    ++at_;
    return true;
  }

  bool at_end() {
    skip_space();
    return at_ == line_.size();
  }

  bool text(std::string_view& out) {
    if (!take('"')) return false;
    const std::size_t start = at_;
    bool ascii = true;
    for (; at_ < line_.size(); ++at_) {
      const auto c = static_cast<unsigned char>(line_[at_]);
      if (c == '"') break;
      if (c == '\\' || c < 0x20) return false;
      ascii = ascii && c < 0x80;
    }
    if (at_ == line_.size()) return false;
    out = line_.substr(start, at_++ - start);
    return ascii || common::is_valid_utf8(out);
  }

  bool literal(std::string_view word) {
    if (line_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  // Only plain whole numbers that fit 64 bits; a sign, a fraction, an exponent, a leading zero
  // or a wider number is left to the full reader.
  bool count(std::uint64_t& out) {
    const std::size_t start = at_;
    out = 0;
    for (; at_ < line_.size() && line_[at_] >= '0' && line_[at_] <= '9'; ++at_) {
      const auto digit = static_cast<std::uint64_t>(line_[at_] - '0');
      if (out > (UINT64_MAX - digit) / 10) return false;
      out = out * 10 + digit;
    }
    if (at_ == start || (line_[start] == '0' && at_ - start > 1)) return false;
    return at_ == line_.size() || (line_[at_] != '.' && line_[at_] != 'e' && line_[at_] != 'E');
  }

  bool member_value(Value& value) {
    skip_space();
    if (at_ == line_.size()) return false;
    const char c = line_[at_];
    if (c == '"') {
      value.kind = Value::Kind::Text;
      return text(value.text);
    }
    if (c >= '0' && c <= '9') {
      value.kind = Value::Kind::Count;
      return count(value.count);
    }
    value.kind = Value::Kind::Other;
    return literal("true") || literal("false") || literal("null");
  }

  std::string_view line_;
  std::size_t at_ = 0;
};

}  // namespace

std::string_view text_member(const Json& record, const char* key) {
  const auto found = record.find(key);
  if (found == record.end() || !found->is_string()) return {};
  return *found->get_ptr<const Json::string_t*>();
}

std::optional<std::uint64_t> count_member(const Json& record, const char* key) {
  const auto found = record.find(key);
  if (found == record.end() || !found->is_number_unsigned()) return std::nullopt;
  return found->get<std::uint64_t>();
}

std::optional<RecordFields> RecordFieldReader::read(std::string_view line) {
  RecordFields fields;
  if (FlatScan(line).object(fields)) return fields;
  auto parsed = json_text::parse_json(line);
  if (!parsed || !parsed->is_object()) return std::nullopt;
  fallback_ = std::move(*parsed);
  fields = RecordFields{};
  fields.timestamp = text_member(fallback_, "timestamp");
  fields.event_type = text_member(fallback_, "event_type");
  fields.error_code = text_member(fallback_, "error_code");
  fields.error_message = text_member(fallback_, "error_message");
  fields.model_name = text_member(fallback_, "model_name");
  fields.config_name = text_member(fallback_, "config_name");
  fields.combination_index = count_member(fallback_, "combination_index");
  fields.total_combinations = count_member(fallback_, "total_combinations");
  return fields;
}

}  // namespace batch_watch
