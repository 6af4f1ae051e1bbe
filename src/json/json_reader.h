#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/error.h"
#include "json/json.h"

namespace json_text {

// Deepest nesting of arrays and objects a document may have. Deeper documents are refused with
// "recursion limit exceeded at line L column C", which keeps every recursive walk over a parsed
// tree (copy, merge, write) far from the end of the stack.
inline constexpr std::size_t kMaxJsonDepth = 128;

// Parses one JSON value strictly: no byte-order mark, nothing but white space after the value.
// Errors name the line and column, e.g. "trailing characters at line 1 column 3".
// Text that is not UTF-8 is refused with "stream did not contain valid UTF-8".
common::Result<Json> parse_json(std::string_view text);

// Like parse_json, but the top level must be an object; otherwise the error is the type error
// of describe_invalid_type followed by " at line L column C" (the position of the value).
common::Result<Json> parse_json_object(std::string_view text);

// "invalid type: {found}, expected a map" for a value that is not an object, e.g.
// "invalid type: sequence, expected a map" or "invalid type: integer `5`, expected a map".
std::string describe_invalid_type(const Json& value);

}  // namespace json_text
