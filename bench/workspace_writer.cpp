#include "workspace_writer.h"

#include <string>

#include "json/json_writer.h"
#include "parameter_generator.h"
#include "platform/file_system.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

common::Result<void> write_document(const fs::path& path, const Json& document) {
  if (auto made = platform::create_directories(path.parent_path()); !made) return made;
  return platform::write_file(path, json_text::to_pretty_json(document));
}

struct ParameterKind {
  const char* key;
  const char* stem;
  Json (*make)(int);
};

// In byte-wise key order, matching WorkspaceOptions::list_sizes.
constexpr ParameterKind kKinds[] = {{"controls", "controls_", make_controls},
                                    {"heat_source_wet", "heat_source_", make_heat_source_wet},
                                    {"simplified_fabric", "fabric_", make_fabric_parameters},
                                    {"tariff", "tariff_", make_tariff}};

common::Result<void> write_allocation_files(const fs::path& params) {
  const std::pair<fs::path, Json> files[] = {
      {params / "controls" / "zone_control.json", make_controls(99)},
      {params / "lighting" / "zone_lighting.json", make_lighting(1)},
      {params / "simplified_fabric" / "zone_fabric.json", make_fabric_parameters(99)},
      {params / "space_heat_emitters" / "zone_emitters.json", make_heat_emitters(1)}};
  for (const auto& [path, document] : files) {
    if (auto written = write_document(path, document); !written) return written;
  }
  return {};
}

}  // namespace

common::Result<fs::path> write_workspace(const fs::path& root, const WorkspaceOptions& options) {
  const fs::path params = root / "input" / "batch_parameters";
  if (auto written = write_document(params / "base_json" / "model.json", make_model(options.shape));
      !written) {
    return std::unexpected(written.error());
  }
  Json group = {{"base_json", Json::array({"model"})}};
  for (std::size_t k = 0; k < std::size(kKinds); ++k) {
    Json values = Json::array();
    for (int v = 0; v < options.list_sizes[k]; ++v) {
      const std::string name = kKinds[k].stem + std::to_string(v);
      values.push_back(name);
      const fs::path file = params / kKinds[k].key / (name + ".json");
      if (auto written = write_document(file, kKinds[k].make(v)); !written) {
        return std::unexpected(written.error());
      }
    }
    group[kKinds[k].key] = std::move(values);
  }
  if (options.zone_allocations) {
    if (auto written = write_allocation_files(params); !written) {
      return std::unexpected(written.error());
    }
    group["zone_allocations"] = make_zone_allocations(zone_names(options.shape));
  }
  const fs::path config = root / "input" / "configs" / "bench.json";
  if (auto written = write_document(config, {{"sweep", std::move(group)}}); !written) {
    return std::unexpected(written.error());
  }
  return config;
}

}  // namespace bench
