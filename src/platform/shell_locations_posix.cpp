#include "platform/shell_locations.h"

namespace platform {

std::vector<std::string> default_shell_places() {
  return {"/bin/bash", "/usr/bin/bash", "/usr/local/bin/bash"};
}

ProcessRequest shell_lookup_request() { return ProcessRequest{"which", {"bash"}}; }

}  // namespace platform
