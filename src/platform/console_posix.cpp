#include "platform/console.h"

namespace platform {

void prepare_console() {}

}  // namespace platform
