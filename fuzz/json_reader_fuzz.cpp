// Text to tree to text: whatever the reader accepts, the writers must turn into text that reads
// back to the same tree, and the pretty form must be a fixed point after one round.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  const std::string_view text = as_text(data, size);
  const auto value = model_editing::parse_json(text);
  const auto object = model_editing::parse_json_object(text);
  require(object.has_value() == (value.has_value() && value->is_object()),
          "parse_json_object accepts exactly the objects that parse_json accepts", text);
  if (!value) return 0;
  if (!value->is_object()) (void)model_editing::describe_invalid_type(*value);

  const std::string pretty = model_editing::to_pretty_json(*value);
  const auto from_pretty = model_editing::parse_json(pretty);
  require(from_pretty.has_value(), "pretty form parses", pretty);
  const std::string pretty_again = model_editing::to_pretty_json(*from_pretty);
  require(pretty_again == pretty, "pretty form is stable", pretty + "\n----\n" + pretty_again);

  const std::string compact = model_editing::to_compact_json(*value);
  require(compact.find('\n') == std::string::npos, "compact form is one line", compact);
  const auto from_compact = model_editing::parse_json(compact);
  require(from_compact.has_value(), "compact form parses", compact);
  require(*from_compact == *value, "compact form parses back equal", compact);
  require(model_editing::to_compact_json(*from_compact) == compact, "compact form is stable",
          compact);
  require(model_editing::to_pretty_json(*from_compact) == pretty,
          "both forms describe the same tree", compact);
  return 0;
}
