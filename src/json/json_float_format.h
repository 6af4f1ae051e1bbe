#pragma once

#include <cstddef>

namespace json_text {

// Room that write_json_float needs. The text is at most 25 bytes (sign, 17 digits, point, and an
// exponent or up to six leading characters); integral values pad with zeros in one fixed-size
// step, which may write up to 32 bytes before the text is cut to its length.
inline constexpr std::size_t kJsonFloatBufferSize = 48;

// Writes the float form of the JSON writers ("23.0", "0.33", "1e-7", "-2.5e-10", "null" for
// non-finite values) into `buffer`, which holds at least kJsonFloatBufferSize bytes, and returns
// the number of bytes written. The digits are the shortest that read back to the same value.
std::size_t write_json_float(char* buffer, double value);

}  // namespace json_text
