#include "native_runner/batch_services.h"

namespace native_runner {

BatchServices default_batch_services(std::ostream& out) {
  return BatchServices{out, system_files(), system_process_runner(), default_engine_host()};
}

}  // namespace native_runner
