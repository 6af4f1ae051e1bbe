#include "native_runner/zone_allocation_files.h"

#include <utility>

#include "model_editing/zone_allocation.h"
#include "platform/file_system.h"

namespace native_runner {

common::Result<void> apply_zone_allocations(json_text::Json& variant,
                                            const json_text::Json& zone_allocations,
                                            const std::filesystem::path& base_params_dir,
                                            const Files& files) {
  for (const auto& allocation : model_editing::list_zone_allocations(zone_allocations)) {
    json_text::Json document;
    if (const auto folder = model_editing::allocation_folder(allocation.key)) {
      auto read = read_json(files, base_params_dir / *folder /
                                       platform::path_from_utf8(allocation.name + ".json"));
      if (!read) return std::unexpected(read.error());
      document = std::move(*read);
    }
    auto applied = model_editing::apply_zone_allocation(variant, allocation, std::move(document));
    if (!applied) return applied;
  }
  return {};
}

}  // namespace native_runner
