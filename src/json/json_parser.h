#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/error.h"
#include "json/json.h"

namespace json_text {

// Where a parsed value started, for messages that point into the text.
struct TextPosition {
  std::size_t line = 1;
  std::size_t column = 1;
};

// The strict recursive-descent reader behind parse_json. `text` must be valid UTF-8.
// On success `root_position` holds the position of the first character of the value.
common::Result<Json> parse_utf8_json(std::string_view text, TextPosition* root_position = nullptr);

// " at line L column C".
std::string describe_position(TextPosition position);

}  // namespace json_text
