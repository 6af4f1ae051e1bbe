#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace native_runner {

// The engine options a combination asks for, one bit per known option string.
struct CliFlags {
  std::uint32_t bits = 0;

  bool empty() const { return bits == 0; }
  friend CliFlags operator|(CliFlags a, CliFlags b) { return CliFlags{a.bits | b.bits}; }
  friend bool operator==(CliFlags, CliFlags) = default;
};

// The bit of the option whose string equals `name` exactly; the empty set for any other text.
CliFlags cli_flag_from_name(std::string_view name);

// One option string per known set bit, in the fixed emission order (not bit order).
std::vector<std::string> cli_flags_to_args(CliFlags flags);

}  // namespace native_runner
