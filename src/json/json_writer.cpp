#include "json/json_writer.h"

#include <array>
#include <charconv>
#include <cstdint>

#include "json/json_float_format.h"
#include "json/text_buffer.h"

namespace json_text {

namespace {

constexpr std::size_t kIntegerBufferSize = 24;

// 1 for the bytes a JSON string cannot hold as they are: '"', '\\' and control characters.
constexpr std::array<bool, 256> kNeedsEscape = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = true;
  table['"'] = true;
  table['\\'] = true;
  return table;
}();

bool needs_escape(char c) { return kNeedsEscape[static_cast<unsigned char>(c)]; }

char* put_escape(char* at, unsigned char c) {
  static constexpr char kHex[] = "0123456789abcdef";
  *at++ = '\\';
  switch (c) {
    case '"':
      *at++ = '"';
      break;
    case '\\':
      *at++ = '\\';
      break;
    case '\b':
      *at++ = 'b';
      break;
    case '\f':
      *at++ = 'f';
      break;
    case '\n':
      *at++ = 'n';
      break;
    case '\r':
      *at++ = 'r';
      break;
    case '\t':
      *at++ = 't';
      break;
    default:
      *at++ = 'u';
      *at++ = '0';
      *at++ = '0';
      *at++ = kHex[c >> 4];
      *at++ = kHex[c & 0xF];
  }
  return at;
}

void put_string(TextBuffer& out, std::string_view text) {
  // Room for the quotes and the text as it is; escapes ask for more as they come.
  char* at = out.reserve(text.size() + 2);
  *at++ = '"';
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!needs_escape(text[i])) continue;
    std::memcpy(at, text.data() + run_start, i - run_start);
    at += i - run_start;
    out.commit(at);
    // An escape is at most six bytes for one byte of text; the rest of the text and the closing
    // quote still need their room.
    at = out.reserve(6 + (text.size() - i - 1) + 1);
    at = put_escape(at, static_cast<unsigned char>(text[i]));
    run_start = i + 1;
  }
  std::memcpy(at, text.data() + run_start, text.size() - run_start);
  at += text.size() - run_start;
  *at++ = '"';
  out.commit(at);
}

template <typename Integer>
void put_integer(TextBuffer& out, Integer value) {
  char* at = out.reserve(kIntegerBufferSize);
  out.commit(std::to_chars(at, at + kIntegerBufferSize, value).ptr);
}

void put_float(TextBuffer& out, double value) {
  char* at = out.reserve(kJsonFloatBufferSize);
  out.commit(at + write_json_float(at, value));
}

void put_scalar(TextBuffer& out, const Json& value) {
  switch (value.type()) {
    case Json::value_t::string:
      put_string(out, *value.get_ptr<const Json::string_t*>());
      break;
    case Json::value_t::boolean:
      out.put(*value.get_ptr<const Json::boolean_t*>() ? "true" : "false");
      break;
    case Json::value_t::number_integer:
      put_integer(out, *value.get_ptr<const Json::number_integer_t*>());
      break;
    case Json::value_t::number_unsigned:
      put_integer(out, *value.get_ptr<const Json::number_unsigned_t*>());
      break;
    case Json::value_t::number_float:
      put_float(out, *value.get_ptr<const Json::number_float_t*>());
      break;
    default:  // null, and the library's internal kinds that never come out of our reader
      out.put("null");
      break;
  }
}

void put_compact(TextBuffer& out, const Json& value) {
  if (const auto* members = value.get_ptr<const Json::object_t*>()) {
    out.put('{');
    bool first = true;
    for (const auto& [name, member] : *members) {
      if (!first) out.put(',');
      first = false;
      put_string(out, name);
      out.put(':');
      put_compact(out, member);
    }
    out.put('}');
  } else if (const auto* elements = value.get_ptr<const Json::array_t*>()) {
    out.put('[');
    bool first = true;
    for (const auto& element : *elements) {
      if (!first) out.put(',');
      first = false;
      put_compact(out, element);
    }
    out.put(']');
  } else {
    put_scalar(out, value);
  }
}

// `lead` (",\n" or "{\n"-style opener) followed by the indentation of `level`, in one step.
void put_line_start(TextBuffer& out, std::string_view lead, int level) {
  const auto indent = static_cast<std::size_t>(level) * 2;
  char* at = out.reserve(lead.size() + indent);
  std::memcpy(at, lead.data(), lead.size());
  at += lead.size();
  std::memset(at, ' ', indent);
  out.commit(at + indent);
}

void put_pretty(TextBuffer& out, const Json& value, int level) {
  if (const auto* members = value.get_ptr<const Json::object_t*>()) {
    if (members->empty()) return out.put("{}");
    std::string_view lead = "{\n";
    for (const auto& [name, member] : *members) {
      put_line_start(out, lead, level + 1);
      lead = ",\n";
      put_string(out, name);
      out.put(": ");
      put_pretty(out, member, level + 1);
    }
    put_line_start(out, "\n", level);
    out.put('}');
  } else if (const auto* elements = value.get_ptr<const Json::array_t*>()) {
    if (elements->empty()) return out.put("[]");
    std::string_view lead = "[\n";
    for (const auto& element : *elements) {
      put_line_start(out, lead, level + 1);
      lead = ",\n";
      put_pretty(out, element, level + 1);
    }
    put_line_start(out, "\n", level);
    out.put(']');
  } else {
    put_scalar(out, value);
  }
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  TextBuffer buffer(out);
  put_string(buffer, text);
}

void append_json_float(std::string& out, double value) {
  TextBuffer buffer(out);
  put_float(buffer, value);
}

std::string format_json_float(double value) {
  std::string out;
  append_json_float(out, value);
  return out;
}

void append_compact_json(std::string& out, const Json& value) {
  TextBuffer buffer(out);
  put_compact(buffer, value);
}

void append_pretty_json(std::string& out, const Json& value, int level) {
  TextBuffer buffer(out);
  put_pretty(buffer, value, level);
}

std::string to_pretty_json(const Json& value) {
  std::string out;
  append_pretty_json(out, value, 0);
  return out;
}

std::string to_compact_json(const Json& value) {
  std::string out;
  append_compact_json(out, value);
  return out;
}

}  // namespace json_text
