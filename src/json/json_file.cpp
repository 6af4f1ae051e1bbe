#include "json/json_file.h"

#include "common/utf8.h"
#include "json/json_parser.h"
#include "platform/file_system.h"

namespace json_text {

common::Result<std::string> read_text_file(const std::filesystem::path& path) {
  auto bytes = platform::read_file(path);
  if (!bytes) return bytes;
  if (!common::is_valid_utf8(*bytes)) return common::fail("stream did not contain valid UTF-8");
  return bytes;
}

common::Result<Json> read_json_file(const std::filesystem::path& path) {
  const auto bytes = platform::read_file(path);
  if (!bytes) return std::unexpected(bytes.error());
  return parse_json_file_text(*bytes);
}

common::Result<Json> parse_json_file_text(std::string_view bytes) {
  if (!common::is_valid_utf8(bytes)) return common::fail("stream did not contain valid UTF-8");
  return parse_utf8_json(bytes);
}

}  // namespace json_text
