#include "study_table/json_lookup.h"

#include "json/json_reader.h"
#include "study_table/number_text.h"

namespace study_table {

common::Result<JsonPointer> parse_json_pointer(std::string_view text) {
  try {
    return JsonPointer(std::string(text));
  } catch (const json_text::Json::exception&) {
    return common::fail("\"" + std::string(text) +
                        "\" is not a JSON pointer (empty, or '/' before each member name)");
  }
}

common::Result<std::string> look_up_json(std::string_view text, const JsonPointer& pointer) {
  auto document = json_text::parse_json(text);
  if (!document) return common::fail("not valid JSON: " + document.error().message);
  const std::string where = pointer.to_string().empty() ? "the top" : pointer.to_string();
  const json_text::Json* found = nullptr;
  try {
    // at() throws for a missing member and for array tokens that are not indices alike.
    found = &document->at(pointer);
  } catch (const json_text::Json::exception&) {
    return common::fail("no value at " + where);
  }
  const json_text::Json& value = *found;
  if (value.is_string()) return value.get<std::string>();
  if (value.is_boolean()) return std::string(value.get<bool>() ? "true" : "false");
  if (value.is_number_unsigned()) return std::to_string(value.get<std::uint64_t>());
  if (value.is_number_integer()) return std::to_string(value.get<std::int64_t>());
  if (value.is_number_float()) return shortest_text(value.get<double>());
  return common::fail("the value at " + where + " is " + std::string(value.type_name()) +
                      ", not a number, text or boolean");
}

}  // namespace study_table
