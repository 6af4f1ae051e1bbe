#include "platform/os_error.h"

namespace platform {

common::Error os_error(int code) { return os_error(std::system_category().message(code), code); }

}  // namespace platform
