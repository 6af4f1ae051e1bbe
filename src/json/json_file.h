#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/error.h"
#include "json/json.h"

namespace json_text {

// Reads a whole file and checks that it is UTF-8 ("stream did not contain valid UTF-8").
common::Result<std::string> read_text_file(const std::filesystem::path& path);

// read_text_file followed by parse_json.
common::Result<Json> read_json_file(const std::filesystem::path& path);

// What read_json_file does with the bytes once they are read, for callers that read them some
// other way.
common::Result<Json> parse_json_file_text(std::string_view bytes);

}  // namespace json_text
