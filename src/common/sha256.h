#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace common {

// SHA-256 as in FIPS 180-4, fed in pieces. Outcome records use it to tell whether a combination's
// inputs are the ones an earlier run simulated; it is not used for anything secret.
class Sha256 {
 public:
  using Digest = std::array<std::uint8_t, 32>;

  Sha256();

  void update(std::string_view bytes);

  // The digest of everything fed so far. The object is spent afterwards; start a new one for the
  // next message.
  Digest finish();

 private:
  void compress(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> block_{};
  std::size_t block_used_ = 0;
  std::uint64_t total_bytes_ = 0;
};

// The digest as 64 lower-case hexadecimal digits.
std::string to_hex(const Sha256::Digest& digest);

// Shorthand for the hex digest of one whole message.
std::string sha256_hex(std::string_view bytes);

}  // namespace common
