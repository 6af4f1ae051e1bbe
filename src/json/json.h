#pragma once

#include <nlohmann/json.hpp>

namespace json_text {

// The model document and every other JSON value: objects keep their members in a byte-wise
// sorted map, integers (signed or unsigned 64-bit) stay apart from floats, and a later duplicate
// member replaces an earlier one.
using Json = nlohmann::json;

}  // namespace json_text
