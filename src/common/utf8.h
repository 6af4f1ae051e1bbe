#pragma once

#include <string>
#include <string_view>

namespace common {

// True when `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points above
// U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

// `bytes` with every ill-formed sequence replaced by U+FFFD, one replacement per maximal
// ill-formed subpart, the way text decoders conventionally do it.
std::string to_valid_utf8_lossy(std::string_view bytes);

}  // namespace common
