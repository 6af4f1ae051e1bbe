#include "model_editing/json_writer.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace model_editing {

namespace {

template <typename Integer>
void append_integer(std::string& out, Integer value) {
  std::array<char, 24> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

void append_exponent(std::string& out, int exponent) { append_integer(out, exponent); }

void append_indent(std::string& out, int level) {
  out.append(static_cast<std::size_t>(level) * 2, ' ');
}

void append_scalar(std::string& out, const Json& value) {
  switch (value.type()) {
    case Json::value_t::string:
      append_json_string(out, value.get_ref<const Json::string_t&>());
      break;
    case Json::value_t::boolean:
      out += value.get<bool>() ? "true" : "false";
      break;
    case Json::value_t::number_integer:
      append_integer(out, value.get<std::int64_t>());
      break;
    case Json::value_t::number_unsigned:
      append_integer(out, value.get<std::uint64_t>());
      break;
    case Json::value_t::number_float:
      append_json_float(out, value.get<double>());
      break;
    default:  // null, and the library's internal kinds that never come out of our reader
      out += "null";
      break;
  }
}

}  // namespace

void append_json_string(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.substr(run_start, i - run_start));
    run_start = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
  }
  out.append(text.substr(run_start));
  out += '"';
}

void append_json_float(std::string& out, double value) {
  if (!std::isfinite(value)) {
    out += "null";
    return;
  }
  // The shortest round-trip digits come from to_chars in scientific form ("6.25e-01"); they are
  // then laid out in plain decimal for ordinary magnitudes and with a bare exponent otherwise.
  std::array<char, 40> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::scientific);
  std::string_view text(buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data()));
  if (text.front() == '-') {
    out += '-';
    text.remove_prefix(1);
  }
  const std::size_t e = text.find('e');
  std::string digits;
  for (char c : text.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent10 = 0;
  std::string_view exponent_text = text.substr(e + 1);
  if (exponent_text.front() == '+') exponent_text.remove_prefix(1);
  std::from_chars(exponent_text.data(), exponent_text.data() + exponent_text.size(), exponent10);

  const int length = static_cast<int>(digits.size());
  const int k = exponent10 - (length - 1);  // value = digits * 10^k
  const int kk = length + k;                // 10^(kk-1) <= value < 10^kk
  if (k >= 0 && kk <= 16) {
    out += digits;
    out.append(static_cast<std::size_t>(k), '0');
    out += ".0";
  } else if (kk > 0 && kk <= 16) {
    out.append(digits, 0, static_cast<std::size_t>(kk));
    out += '.';
    out.append(digits, static_cast<std::size_t>(kk));
  } else if (kk > -5 && kk <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-kk), '0');
    out += digits;
  } else if (length == 1) {
    out += digits;
    out += 'e';
    append_exponent(out, kk - 1);
  } else {
    out += digits[0];
    out += '.';
    out.append(digits, 1);
    out += 'e';
    append_exponent(out, kk - 1);
  }
}

std::string format_json_float(double value) {
  std::string out;
  append_json_float(out, value);
  return out;
}

void append_compact_json(std::string& out, const Json& value) {
  if (value.is_object()) {
    out += '{';
    bool first = true;
    for (const auto& [name, member] : value.get_ref<const Json::object_t&>()) {
      if (!first) out += ',';
      first = false;
      append_json_string(out, name);
      out += ':';
      append_compact_json(out, member);
    }
    out += '}';
  } else if (value.is_array()) {
    out += '[';
    bool first = true;
    for (const auto& element : value.get_ref<const Json::array_t&>()) {
      if (!first) out += ',';
      first = false;
      append_compact_json(out, element);
    }
    out += ']';
  } else {
    append_scalar(out, value);
  }
}

void append_pretty_json(std::string& out, const Json& value, int level) {
  if (value.is_object()) {
    const auto& members = value.get_ref<const Json::object_t&>();
    if (members.empty()) {
      out += "{}";
      return;
    }
    out += "{\n";
    bool first = true;
    for (const auto& [name, member] : members) {
      if (!first) out += ",\n";
      first = false;
      append_indent(out, level + 1);
      append_json_string(out, name);
      out += ": ";
      append_pretty_json(out, member, level + 1);
    }
    out += '\n';
    append_indent(out, level);
    out += '}';
  } else if (value.is_array()) {
    const auto& elements = value.get_ref<const Json::array_t&>();
    if (elements.empty()) {
      out += "[]";
      return;
    }
    out += "[\n";
    bool first = true;
    for (const auto& element : elements) {
      if (!first) out += ",\n";
      first = false;
      append_indent(out, level + 1);
      append_pretty_json(out, element, level + 1);
    }
    out += '\n';
    append_indent(out, level);
    out += ']';
  } else {
    append_scalar(out, value);
  }
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

}  // namespace model_editing
