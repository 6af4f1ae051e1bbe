#include "native_runner/cli_flags.h"

#include <array>

namespace native_runner {
namespace {

struct KnownOption {
  std::string_view name;
  std::uint32_t bit;
};

// The engine expects its options in this order, which is not the order of the bit values.
constexpr std::array<KnownOption, 10> kKnownOptions{{
    {"--fhs-compliance", 0x4000},
    {"--fhs-assumptions", 0x100},
    {"--fhs-fee-assumptions", 0x200},
    {"--fhs-not-a-assumptions", 0x400},
    {"--fhs-not-b-assumptions", 0x800},
    {"--fhs-fee-not-a-assumptions", 0x1000},
    {"--fhs-fee-not-b-assumptions", 0x2000},
    {"--heat-balance", 0x2},
    {"--detailed-output-heating-cooling", 0x4},
    {"--pre-process-only", 0x1},
}};

}  // namespace

CliFlags cli_flag_from_name(std::string_view name) {
  for (const KnownOption& option : kKnownOptions) {
    if (option.name == name) return CliFlags{option.bit};
  }
  return CliFlags{};
}

std::vector<std::string> cli_flags_to_args(CliFlags flags) {
  std::vector<std::string> args;
  for (const KnownOption& option : kKnownOptions) {
    if ((flags.bits & option.bit) != 0) args.emplace_back(option.name);
  }
  return args;
}

}  // namespace native_runner
