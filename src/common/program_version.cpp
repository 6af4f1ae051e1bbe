#include "common/program_version.h"

namespace common {

std::string_view program_version() { return ENSEMBLE_VERSION; }

std::string version_line(std::string_view program) {
  return std::string(program) + " " + std::string(program_version()) + "\n";
}

}  // namespace common
