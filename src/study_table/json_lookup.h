#pragma once

#include <string>
#include <string_view>

#include "common/error.h"
#include "json/json.h"

namespace study_table {

using JsonPointer = json_text::Json::json_pointer;

// Reads an RFC 6901 pointer ("/peak/value", "" for the whole document). Fails, quoting it, for
// text that is not one.
common::Result<JsonPointer> parse_json_pointer(std::string_view text);

// The value the pointer reaches in the JSON text, as a cell holds it: a string as it is, a
// number in its shortest form, a boolean as "true" or "false". Fails, saying why, when the text
// is not JSON, nothing is there, or the value is null, an object or an array.
common::Result<std::string> look_up_json(std::string_view text, const JsonPointer& pointer);

}  // namespace study_table
