#include "json/json_reader.h"

#include "json/json_parser.h"
#include "json/json_writer.h"
#include "common/utf8.h"

namespace json_text {

namespace {

constexpr std::string_view kInvalidUtf8 = "stream did not contain valid UTF-8";

std::string describe_found(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "unit value";
    case Json::value_t::array:
      return "sequence";
    case Json::value_t::boolean:
      return value.get<bool>() ? "boolean `true`" : "boolean `false`";
    case Json::value_t::number_integer:
      return "integer `" + std::to_string(value.get<std::int64_t>()) + "`";
    case Json::value_t::number_unsigned:
      return "integer `" + std::to_string(value.get<std::uint64_t>()) + "`";
    case Json::value_t::number_float:
      return "floating point `" + format_json_float(value.get<double>()) + "`";
    case Json::value_t::string: {
      std::string quoted;
      append_json_string(quoted, value.get_ref<const Json::string_t&>());
      return "string " + quoted;
    }
    default:
      return "map";
  }
}

}  // namespace

std::string describe_invalid_type(const Json& value) {
  return "invalid type: " + describe_found(value) + ", expected a map";
}

common::Result<Json> parse_json(std::string_view text) {
  if (!common::is_valid_utf8(text)) return common::fail(std::string(kInvalidUtf8));
  return parse_utf8_json(text);
}

common::Result<Json> parse_json_object(std::string_view text) {
  if (!common::is_valid_utf8(text)) return common::fail(std::string(kInvalidUtf8));
  TextPosition position;
  auto value = parse_utf8_json(text, &position);
  if (value && !value->is_object()) {
    return common::fail(describe_invalid_type(*value) + describe_position(position));
  }
  return value;
}

}  // namespace json_text
