#include "model_editing/json_parser.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>

#include "model_editing/json_reader.h"

namespace model_editing {

namespace {

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

  void skip_whitespace() {
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c != ' ' && c != '\n' && c != '\r' && c != '\t') break;
      ++pos_;
    }
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
      Json element;
      if (auto failure = parse_value(element, depth)) return failure;
      elements.push_back(std::move(element));
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
      Json value;
      if (auto failure = parse_value(value, depth)) return failure;
      // A later duplicate replaces the earlier member.
      members.insert_or_assign(std::move(name), std::move(value));
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
      while (pos_ < text_.size()) {
        const auto c = static_cast<unsigned char>(text_[pos_]);
        if (c == '"' || c == '\\' || c < 0x20) break;
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

  bool scan_digits() {
    const std::size_t start = pos_;
    while (!at_end() && peek() >= '0' && peek() <= '9') ++pos_;
    return pos_ > start;
  }

  std::optional<ParseFailure> parse_number(Json& out) {
    const std::size_t start = pos_;
    const bool negative = peek() == '-';
    if (negative) ++pos_;
    if (at_end()) return fail_here("EOF while parsing a value");
    if (peek() == '0') {
      ++pos_;
      if (!at_end() && peek() >= '0' && peek() <= '9') return fail_here("invalid number");
    } else if (!scan_digits()) {
      return fail_here("invalid number");
    }
    const std::size_t integer_end = pos_;
    bool is_float = false;
    bool negative_exponent = false;
    if (!at_end() && peek() == '.') {
      is_float = true;
      ++pos_;
      if (!scan_digits())
        return fail_here(at_end() ? "EOF while parsing a value" : "invalid number");
    }
    if (!at_end() && (peek() == 'e' || peek() == 'E')) {
      is_float = true;
      ++pos_;
      if (!at_end() && (peek() == '+' || peek() == '-')) {
        negative_exponent = peek() == '-';
        ++pos_;
      }
      if (!scan_digits())
        return fail_here(at_end() ? "EOF while parsing a value" : "invalid number");
    }
    const std::string_view digits = text_.substr(start, pos_ - start);
    if (!is_float &&
        integer_to_json(text_.substr(negative ? start + 1 : start, integer_end - start - negative),
                        negative, out)) {
      return std::nullopt;
    }
    double value = 0.0;
    const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
      if (!negative_exponent) return ParseFailure{"number out of range", start};
      value = negative ? -0.0 : 0.0;  // too small to represent: rounds to zero
    }
    out = Json(value);
    return std::nullopt;
  }

  // Integers keep their kind when they fit 64 bits; "-0" and anything wider become floats.
  static bool integer_to_json(std::string_view magnitude, bool negative, Json& out) {
    std::uint64_t value = 0;
    const auto result =
        std::from_chars(magnitude.data(), magnitude.data() + magnitude.size(), value);
    if (result.ec != std::errc()) return false;
    if (!negative) {
      out = Json(value);
      return true;
    }
    constexpr std::uint64_t kMinMagnitude = std::uint64_t{1} << 63;
    if (value == 0 || value > kMinMagnitude) return false;
    out = Json(value == kMinMagnitude ? std::numeric_limits<std::int64_t>::min()
                                      : -static_cast<std::int64_t>(value));
    return true;
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

}  // namespace model_editing
