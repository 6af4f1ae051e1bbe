#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "json/json.h"

namespace json_text {

// Why a number could not be read, and the byte offset the message points at.
struct NumberFailure {
  const char* what;
  std::size_t offset;
};

// Reads the JSON number that starts at `pos` (a '-' or a digit) into `out` and moves `pos` past
// it. Integers that fit a signed or unsigned 64-bit integer stay integers ("-0" is the integer 0);
// every other number becomes the nearest double, and one too small for a double becomes zero.
std::optional<NumberFailure> read_json_number(std::string_view text, std::size_t& pos, Json& out);

}  // namespace json_text
