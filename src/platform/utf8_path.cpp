#include "platform/utf8_path.h"

#include <string>

namespace platform {

std::filesystem::path utf8_path(std::string_view text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace platform
