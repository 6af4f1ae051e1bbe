#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace common {

// The whole of `digits` as a number: ASCII digits only, leading zeros allowed. Nothing for an
// empty text, a sign, a space or any other character, or a value beyond 64 bits, so that a
// command-line value or a name read back from a file never means more than it says.
std::optional<std::uint64_t> parse_whole_number(std::string_view digits);

}  // namespace common
