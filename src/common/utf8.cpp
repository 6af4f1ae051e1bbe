#include "common/utf8.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace common {

namespace {

// Length of the well-formed sequence starting at `i`, or 0 with `bad` set to the number of
// bytes of its maximal ill-formed subpart (at least 1).
std::size_t sequence_length(std::string_view s, std::size_t i, std::size_t& bad) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(s[k]); };
  const std::uint8_t lead = byte(i);
  bad = 1;
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  std::uint8_t low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  for (std::size_t k = 1; k < length; ++k) {
    if (i + k >= s.size()) return 0;
    const std::uint8_t b = byte(i + k);
    const bool ok = k == 1 ? (b >= low && b <= high) : (b >= 0x80 && b <= 0xBF);
    if (!ok) return 0;
    bad = k + 1;  // the lead and the continuation bytes accepted so far
  }
  return length;
}

}  // namespace

bool is_valid_utf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    // Fast path over ASCII, eight bytes at a time.
    while (i + 8 <= bytes.size()) {
      std::uint64_t chunk;
      std::memcpy(&chunk, bytes.data() + i, 8);
      if (chunk & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i >= bytes.size()) break;
    std::size_t bad = 0;
    const std::size_t length = sequence_length(bytes, i, bad);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string to_valid_utf8_lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t bad = 0;
    const std::size_t length = sequence_length(bytes, i, bad);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      i += bad;
    } else {
      out.append(bytes.substr(i, length));
      i += length;
    }
  }
  return out;
}

}  // namespace common
