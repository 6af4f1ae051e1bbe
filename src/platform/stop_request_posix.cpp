#include "platform/stop_request.h"

namespace platform {

void request_stop(std::stop_source& source) { source.request_stop(); }

}  // namespace platform
