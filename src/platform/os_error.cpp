#include "platform/os_error.h"

#include <string>

namespace platform {

common::Error os_error(const std::error_code& code) {
  if (code.category() == std::system_category()) return os_error(code.value());
  return os_error(code.message(), code.value());
}

common::Error os_error(std::string_view description, int code) {
  return common::Error(std::string(description) + " (os error " + std::to_string(code) + ")");
}

}  // namespace platform
