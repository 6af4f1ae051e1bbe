#include "platform/shell_locations.h"

namespace platform {

// The places Git for Windows installs to by default, per machine and per 32-bit machine, and the
// short form some users pick.
std::vector<std::string> default_shell_places() {
  return {"C:\\Program Files\\Git\\bin\\bash.exe", "C:\\Program Files (x86)\\Git\\bin\\bash.exe",
          "C:\\Git\\bin\\bash.exe"};
}

ProcessRequest shell_lookup_request() { return ProcessRequest{"where", {"bash"}}; }

}  // namespace platform
