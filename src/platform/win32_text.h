#pragma once

#include <string>
#include <string_view>

// Conversions between the UTF-8 text used throughout the system and the UTF-16 text of the
// Windows API. Only built into the Windows programs.
namespace platform {

// Invalid UTF-8 sequences become U+FFFD.
std::wstring widen(std::string_view utf8);

// Unpaired surrogates become U+FFFD.
std::string narrow(std::wstring_view utf16);

}  // namespace platform
