#include "platform/device_names.h"

namespace platform {

std::optional<std::string> device_name(std::string_view) { return std::nullopt; }

}  // namespace platform
