#include <array>

#include "platform/device_names.h"

namespace platform {
namespace {

constexpr std::array<std::string_view, 4> kDevices{"CON", "PRN", "AUX", "NUL"};
constexpr std::array<std::string_view, 2> kNumberedDevices{"COM", "LPT"};

// ASCII only: the device names are, and a byte of a UTF-8 sequence must stay as it is.
std::string upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return result;
}

// Windows reads only the part before the first dot and drops the spaces that end it.
std::optional<std::string> segment_device(std::string_view segment) {
  std::string stem = upper(segment.substr(0, segment.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (std::string_view device : kDevices) {
    if (stem == device) return stem;
  }
  for (std::string_view device : kNumberedDevices) {
    if (stem.size() == 4 && stem.starts_with(device) && stem[3] >= '1' && stem[3] <= '9') {
      return stem;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> device_name(std::string_view name) {
  while (true) {
    const std::size_t separator = name.find_first_of("/\\");
    if (auto device = segment_device(name.substr(0, separator))) return device;
    if (separator == std::string_view::npos) return std::nullopt;
    name.remove_prefix(separator + 1);
  }
}

}  // namespace platform
