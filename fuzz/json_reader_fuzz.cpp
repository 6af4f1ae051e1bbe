// Text to tree to text: whatever the reader accepts, the writers must turn into text that reads
// back to the same tree, and the pretty form must be a fixed point after one round. A lone
// number is also checked against the standard library's correctly rounded conversions, since
// the reader and the writer have fast paths of their own.
#include <bit>
#include <charconv>
#include <cstdint>

#include "fuzz_support.h"

namespace {

void check_lone_float(std::string_view text, double value) {
  using fuzz_support::require;
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  const std::size_t last = text.find_last_not_of(" \t\r\n");
  const std::string_view token = text.substr(first, last - first + 1);
  double expected = 0.0;
  const auto read = std::from_chars(token.data(), token.data() + token.size(), expected);
  if (read.ec == std::errc() && read.ptr == token.data() + token.size()) {
    require(std::bit_cast<std::uint64_t>(value) == std::bit_cast<std::uint64_t>(expected),
            "the reader rounds a number as from_chars does", token);
  }
  const std::string written = json_text::format_json_float(value);
  double reread = 0.0;
  const auto back = std::from_chars(written.data(), written.data() + written.size(), reread);
  require(back.ec == std::errc() && back.ptr == written.data() + written.size() &&
              std::bit_cast<std::uint64_t>(reread) == std::bit_cast<std::uint64_t>(value),
          "a written float reads back to the same double", written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  const std::string_view text = as_text(data, size);
  const auto value = json_text::parse_json(text);
  const auto object = json_text::parse_json_object(text);
  require(object.has_value() == (value.has_value() && value->is_object()),
          "parse_json_object accepts exactly the objects that parse_json accepts", text);
  if (!value) return 0;
  if (!value->is_object()) (void)json_text::describe_invalid_type(*value);
  if (value->is_number_float()) check_lone_float(text, value->get<double>());

  const std::string pretty = json_text::to_pretty_json(*value);
  const auto from_pretty = json_text::parse_json(pretty);
  require(from_pretty.has_value(), "pretty form parses", pretty);
  const std::string pretty_again = json_text::to_pretty_json(*from_pretty);
  require(pretty_again == pretty, "pretty form is stable", pretty + "\n----\n" + pretty_again);

  const std::string compact = json_text::to_compact_json(*value);
  require(compact.find('\n') == std::string::npos, "compact form is one line", compact);
  const auto from_compact = json_text::parse_json(compact);
  require(from_compact.has_value(), "compact form parses", compact);
  require(*from_compact == *value, "compact form parses back equal", compact);
  require(json_text::to_compact_json(*from_compact) == compact, "compact form is stable",
          compact);
  require(json_text::to_pretty_json(*from_compact) == pretty,
          "both forms describe the same tree", compact);
  return 0;
}
