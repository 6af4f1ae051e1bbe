#pragma once

#include <string>
#include <string_view>

#include "json/json.h"

// The two text forms every file of the system uses. Strings: only '"', '\\' and control
// characters are escaped (\b \f \n \r \t, others as \u00xx in lower case); '/' and non-ASCII
// stay as they are. Floats: the shortest text that reads back to the same value, integral ones
// with ".0", exponents without '+' or leading zeros (1e-7, 1e300); non-finite floats as null.
namespace json_text {

// Two spaces per level, one member or element per line, "{}"/"[]" when empty, no final newline.
std::string to_pretty_json(const Json& value);

// The whole value on one line, no white space outside strings.
std::string to_compact_json(const Json& value);

// Appends the pretty form of `value` as if it started at nesting level `level` (its inner lines
// are indented by 2 * (level + 1) spaces); used by records that nest a document.
void append_pretty_json(std::string& out, const Json& value, int level);
void append_compact_json(std::string& out, const Json& value);

// Appends a quoted, escaped JSON string.
void append_json_string(std::string& out, std::string_view text);

// Appends a float in the documented form ("23.0", "66.66666666666666", "1e-7", "null").
void append_json_float(std::string& out, double value);
std::string format_json_float(double value);

}  // namespace json_text
