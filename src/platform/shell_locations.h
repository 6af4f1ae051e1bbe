#pragma once

#include <string>
#include <vector>

#include "platform/process.h"

// Where this platform keeps the bash that runs the engine script.
namespace platform {

// The install locations probed first, in search order.
std::vector<std::string> default_shell_places();

// The system command whose first output line names the bash found on the search path.
ProcessRequest shell_lookup_request();

}  // namespace platform
