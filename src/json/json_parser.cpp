#include "json/json_parser.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>

#include "json/json_number_reader.h"
#include "json/json_reader.h"

namespace json_text {

namespace {

// The bytes that end a run of plain string content: the closing quote, an escape, and the
// control characters a string may not hold.
constexpr std::array<bool, 256> kEndsStringRun = [] {
  std::array<bool, 256> table{};
  for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = true;
  table['"'] = true;
  table['\\'] = true;
  return table;
}();

// Errors are produced as text plus the byte offset they point at; the offset becomes a line and
// column only when an error is reported, so the hot path carries no position bookkeeping.
struct ParseFailure {
  std::string what;
  std::size_t offset;
};

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::optional<ParseFailure> parse_document(Json& out, std::size_t& root_offset) {
    skip_whitespace();
    root_offset = pos_;
    if (auto failure = parse_value(out, 0)) return failure;
    skip_whitespace();
    if (pos_ != text_.size()) return fail_here("trailing characters");
    return std::nullopt;
  }

 private:
  std::optional<ParseFailure> fail_here(std::string what) const {
    return ParseFailure{std::move(what), pos_};
  }
  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }

  // Pretty-printed text is mostly indentation, so runs of spaces go eight bytes at a time.
  void skip_whitespace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == ' ') {
        ++pos_;
        while (pos_ + 8 <= text_.size() && eight_spaces_at(pos_)) pos_ += 8;
      } else if (c == '\n' || c == '\r' || c == '\t') {
        ++pos_;
      } else {
        break;
      }
    }
  }

  bool eight_spaces_at(std::size_t at) const {
    std::uint64_t chunk;
    std::memcpy(&chunk, text_.data() + at, sizeof chunk);
    return chunk == 0x2020202020202020ULL;
  }

  std::optional<ParseFailure> parse_value(Json& out, std::size_t depth) {
    if (at_end()) return fail_here("EOF while parsing a value");
    switch (peek()) {
      case '{':
        return parse_object(out, depth + 1);
      case '[':
        return parse_array(out, depth + 1);
      case '"': {
        std::string text;
        if (auto failure = parse_string(text)) return failure;
        out = Json(std::move(text));
        return std::nullopt;
      }
      case 't':
        return parse_literal("true", Json(true), out);
      case 'f':
        return parse_literal("false", Json(false), out);
      case 'n':
        return parse_literal("null", Json(nullptr), out);
      default:
        if (peek() == '-' || (peek() >= '0' && peek() <= '9')) return parse_number(out);
        return fail_here("expected value");
    }
  }

  std::optional<ParseFailure> parse_literal(std::string_view word, Json value, Json& out) {
    for (char expected : word) {
      if (at_end()) return fail_here("EOF while parsing a value");
      if (peek() != expected) return fail_here("expected ident");
      ++pos_;
    }
    out = std::move(value);
    return std::nullopt;
  }

  std::optional<ParseFailure> parse_array(Json& out, std::size_t depth) {
    if (depth > kMaxJsonDepth) return fail_here("recursion limit exceeded");
    ++pos_;  // '['
    out = Json::array();
    auto& elements = out.get_ref<Json::array_t&>();
    skip_whitespace();
    if (at_end()) return fail_here("EOF while parsing a list");
    if (peek() == ']') {
      ++pos_;
      return std::nullopt;
    }
    while (true) {
      if (auto failure = parse_value(elements.emplace_back(), depth)) return failure;
      skip_whitespace();
      if (at_end()) return fail_here("EOF while parsing a list");
      if (peek() == ']') {
        ++pos_;
        return std::nullopt;
      }
      if (peek() != ',') return fail_here("expected `,` or `]`");
      ++pos_;
      skip_whitespace();
      if (!at_end() && peek() == ']') return fail_here("trailing comma");
    }
  }

  std::optional<ParseFailure> parse_object(Json& out, std::size_t depth) {
    if (depth > kMaxJsonDepth) return fail_here("recursion limit exceeded");
    ++pos_;  // '{'
    out = Json::object();
    auto& members = out.get_ref<Json::object_t&>();
    skip_whitespace();
    if (at_end()) return fail_here("EOF while parsing an object");
    if (peek() == '}') {
      ++pos_;
      return std::nullopt;
    }
    while (true) {
      if (at_end()) return fail_here("EOF while parsing an object");
      if (peek() != '"') return fail_here("key must be a string");
      std::string name;
      if (auto failure = parse_string(name)) return failure;
      skip_whitespace();
      if (at_end()) return fail_here("EOF while parsing an object");
      if (peek() != ':') return fail_here("expected `:`");
      ++pos_;
      skip_whitespace();
      // Members usually arrive sorted (every document the system writes is), so the end is the
      // right place to insert nearly always. A later duplicate is parsed over the earlier value.
      Json& value = members.try_emplace(members.end(), std::move(name))->second;
      if (auto failure = parse_value(value, depth)) return failure;
      skip_whitespace();
      if (at_end()) return fail_here("EOF while parsing an object");
      if (peek() == '}') {
        ++pos_;
        return std::nullopt;
      }
      if (peek() != ',') return fail_here("expected `,` or `}`");
      ++pos_;
      skip_whitespace();
      if (!at_end() && peek() == '}') return fail_here("trailing comma");
    }
  }

  std::optional<ParseFailure> parse_hex4(std::uint32_t& unit) {
    unit = 0;
    for (int k = 0; k < 4; ++k) {
      if (at_end()) return fail_here("EOF while parsing a string");
      const char c = peek();
      std::uint32_t digit;
      if (c >= '0' && c <= '9') {
        digit = static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return fail_here("invalid escape");
      }
      unit = unit * 16 + digit;
      ++pos_;
    }
    return std::nullopt;
  }

  static void append_code_point(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }

  std::optional<ParseFailure> parse_unicode_escape(std::string& out) {
    std::uint32_t unit;
    if (auto failure = parse_hex4(unit)) return failure;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return fail_here("lone trailing surrogate in hex escape");
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (text_.substr(pos_, 2) != "\\u") return fail_here("lone leading surrogate in hex escape");
      pos_ += 2;
      std::uint32_t low;
      if (auto failure = parse_hex4(low)) return failure;
      if (low < 0xDC00 || low > 0xDFFF) return fail_here("lone leading surrogate in hex escape");
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    append_code_point(out, unit);
    return std::nullopt;
  }

  std::optional<ParseFailure> parse_string(std::string& out) {
    ++pos_;  // opening quote
    while (true) {
      const std::size_t run_start = pos_;
      while (pos_ < text_.size() && !kEndsStringRun[static_cast<unsigned char>(text_[pos_])]) {
        ++pos_;
      }
      out.append(text_.substr(run_start, pos_ - run_start));
      if (at_end()) return fail_here("EOF while parsing a string");
      const char c = peek();
      if (c == '"') {
        ++pos_;
        return std::nullopt;
      }
      if (c != '\\')
        return fail_here("control character (\\u0000-\\u001F) found while parsing a string");
      ++pos_;
      if (at_end()) return fail_here("EOF while parsing a string");
      const char escape = peek();
      ++pos_;
      switch (escape) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u':
          if (auto failure = parse_unicode_escape(out)) return failure;
          break;
        default:
          --pos_;
          return fail_here("invalid escape");
      }
    }
  }

  std::optional<ParseFailure> parse_number(Json& out) {
    if (auto failure = read_json_number(text_, pos_, out)) {
      return ParseFailure{failure->what, failure->offset};
    }
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

TextPosition position_of(std::string_view text, std::size_t offset) {
  TextPosition position;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++position.line;
      line_start = i + 1;
    }
  }
  position.column = offset - line_start + 1;
  return position;
}

}  // namespace

std::string describe_position(TextPosition position) {
  return " at line " + std::to_string(position.line) + " column " + std::to_string(position.column);
}

common::Result<Json> parse_utf8_json(std::string_view text, TextPosition* root_position) {
  Parser parser(text);
  Json value;
  std::size_t root_offset = 0;
  if (auto failure = parser.parse_document(value, root_offset)) {
    return common::fail(failure->what + describe_position(position_of(text, failure->offset)));
  }
  if (root_position != nullptr) *root_position = position_of(text, root_offset);
  return value;
}

}  // namespace json_text
