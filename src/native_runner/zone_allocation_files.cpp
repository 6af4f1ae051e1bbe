#include "native_runner/zone_allocation_files.h"

#include <utility>

#include "model_editing/zone_allocation.h"
#include "platform/file_system.h"

namespace native_runner {

namespace {

template <typename Read>
common::Result<void> apply_each(json_text::Json& variant, const json_text::Json& zone_allocations,
                                const std::filesystem::path& base_params_dir, Read read) {
  for (const auto& allocation : model_editing::list_zone_allocations(zone_allocations)) {
    json_text::Json document;
    if (const auto folder = model_editing::allocation_folder(allocation.key)) {
      auto got = read(base_params_dir / *folder /
                      platform::path_from_utf8(allocation.name + ".json"));
      if (!got) return std::unexpected(got.error());
      document = std::move(*got);
    }
    auto applied = model_editing::apply_zone_allocation(variant, allocation, std::move(document));
    if (!applied) return applied;
  }
  return {};
}

}  // namespace

common::Result<void> apply_zone_allocations(json_text::Json& variant,
                                            const json_text::Json& zone_allocations,
                                            const std::filesystem::path& base_params_dir,
                                            const Files& files) {
  return apply_each(variant, zone_allocations, base_params_dir,
                    [&files](const std::filesystem::path& path) { return read_json(files, path); });
}

common::Result<void> apply_zone_allocations(json_text::Json& variant,
                                            const json_text::Json& zone_allocations,
                                            const std::filesystem::path& base_params_dir,
                                            ParsedFiles& parsed) {
  return apply_each(variant, zone_allocations, base_params_dir,
                    [&parsed](const std::filesystem::path& path) -> common::Result<json_text::Json> {
                      auto document = parsed.read(path);
                      if (!document) return std::unexpected(document.error());
                      return **document;
                    });
}

}  // namespace native_runner
