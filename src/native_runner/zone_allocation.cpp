#include "native_runner/zone_allocation.h"

#include <array>
#include <optional>
#include <utility>

#include "model_editing/fabric_parameters.h"
#include "json/json_file.h"
#include "json/json_reader.h"
#include "platform/file_system.h"

namespace native_runner {
namespace {

using json_text::Json;

// The member `key` of `value` when `value` is an object that has it; nlohmann's operator[]
// would throw on other kinds or quietly turn null into an object, so lookups go through here.
Json* member(Json& value, std::string_view key) {
  if (!value.is_object()) return nullptr;
  auto found = value.find(key);
  return found == value.end() ? nullptr : &*found;
}

const Json* member(const Json& value, std::string_view key) {
  if (!value.is_object()) return nullptr;
  auto found = value.find(key);
  return found == value.end() ? nullptr : &*found;
}

// Like member(), but only an object counts.
Json* object_member(Json& value, std::string_view key) {
  Json* found = member(value, key);
  return found != nullptr && found->is_object() ? found : nullptr;
}

// The zone object named `zone_name` in the variant's "Zone" section, when it is an object.
Json* zone_object(Json& variant, std::string_view zone_name) {
  Json* zones = object_member(variant, "Zone");
  return zones == nullptr ? nullptr : object_member(*zones, zone_name);
}

// A string, or an array whose first element is a string; an empty name counts as none.
std::optional<std::string> allocated_name(const Json& value) {
  const Json* name = &value;
  if (value.is_array()) {
    if (value.empty()) return std::nullopt;
    name = &value.front();
  }
  if (!name->is_string() || name->get_ref<const std::string&>().empty()) return std::nullopt;
  return name->get<std::string>();
}

common::Result<Json> read_allocation_file(const std::filesystem::path& base_params_dir,
                                          std::string_view folder, const std::string& name) {
  return json_text::read_json_file(base_params_dir / folder /
                                       platform::path_from_utf8(name + ".json"));
}

bool serves_zone(const Json& system, std::string_view zone_name) {
  const Json* zone = member(system, "Zone");
  return zone != nullptr && zone->is_string() && zone->get_ref<const std::string&>() == zone_name;
}

common::Result<void> allocate_control(Json& variant, std::string_view zone_name,
                                      const std::string& name, const std::filesystem::path& dir) {
  auto file = read_allocation_file(dir, "controls", name);
  if (!file) return std::unexpected(file.error());
  const Json* controls = object_member(*file, "Control");
  if (controls == nullptr) return {};

  const std::string prefix = zone_prefix(zone_name);
  if (Json* target = object_member(variant, "Control")) {
    for (std::string_view entry : {"space_heating_setpoint", "heating_timer"}) {
      if (const Json* value = member(*controls, entry)) {
        (*target)[prefix + "_" + std::string(entry)] = *value;
      }
    }
  }
  // Heat systems follow the zone's setpoint even when the variant has no "Control" section
  // to receive the entries.
  const Json setpoint_name = prefix + "_space_heating_setpoint";
  if (Json* systems = object_member(variant, "SpaceHeatSystem")) {
    for (auto& [system_name, system] : systems->items()) {
      if (system.is_object() && serves_zone(system, zone_name)) system["Control"] = setpoint_name;
    }
  }
  return {};
}

common::Result<void> allocate_lighting(Json& variant, std::string_view zone_name,
                                       const std::string& name, const std::filesystem::path& dir) {
  auto file = read_allocation_file(dir, "lighting", name);
  if (!file) return std::unexpected(file.error());
  const Json* lighting = member(*file, "Lighting");
  Json* zone = zone_object(variant, zone_name);
  if (lighting != nullptr && zone != nullptr) (*zone)["Lighting"] = *lighting;
  return {};
}

common::Result<void> allocate_fabric(Json& variant, std::string_view zone_name,
                                     const std::string& name, const std::filesystem::path& dir) {
  auto file = read_allocation_file(dir, "simplified_fabric", name);
  if (!file) return std::unexpected(file.error());
  auto set = model_editing::build_fabric_parameter_set(std::move(*file));
  if (!set) return std::unexpected(set.error());
  // A variant without this zone is left as it is; the outcome says nothing the batch reports.
  model_editing::apply_fabric_to_model(variant, *set, zone_name,
                                       model_editing::ThermalBridgeRule::Independent);
  return {};
}

void allocate_zone_text(Json& variant, std::string_view zone_name, std::string_view member_name,
                        const std::string& name) {
  if (Json* zone = zone_object(variant, zone_name)) (*zone)[std::string(member_name)] = name;
}

// The replaced heat system keeps what ties it to the dwelling: its zone, its heat source and
// the control that an earlier "control" allocation may have written.
constexpr std::array<std::string_view, 3> kKeptSystemMembers = {"Control", "Zone", "HeatSource"};

common::Result<void> allocate_emitters(Json& variant, std::string_view zone_name,
                                       const std::string& name, const std::filesystem::path& dir) {
  auto file = read_allocation_file(dir, "space_heat_emitters", name);
  if (!file) return std::unexpected(file.error());
  const Json* templates = object_member(*file, "SpaceHeatSystem");
  if (templates == nullptr || templates->empty()) return {};
  Json* systems = object_member(variant, "SpaceHeatSystem");
  if (systems == nullptr) return {};

  for (auto& [system_name, system] : systems->items()) {
    if (!system.is_object() || !serves_zone(system, zone_name)) continue;
    Json replacement = templates->front();
    if (replacement.is_object()) {
      for (std::string_view kept : kKeptSystemMembers) {
        replacement.erase(std::string(kept));
        if (const Json* old = member(system, kept)) replacement[std::string(kept)] = *old;
      }
    }
    system = std::move(replacement);
    break;
  }
  return {};
}

common::Result<void> apply_allocation(Json& variant, std::string_view zone_name,
                                      std::string_view key, const std::string& name,
                                      const std::filesystem::path& dir) {
  if (key == "control") return allocate_control(variant, zone_name, name, dir);
  if (key == "lighting") return allocate_lighting(variant, zone_name, name, dir);
  if (key == "simplified_fabric") return allocate_fabric(variant, zone_name, name, dir);
  if (key == "space_cooling_system")
    allocate_zone_text(variant, zone_name, "SpaceCoolSystem", name);
  if (key == "space_heat_control") allocate_zone_text(variant, zone_name, "SpaceHeatControl", name);
  if (key == "space_heat_emitters") return allocate_emitters(variant, zone_name, name, dir);
  return {};
}

}  // namespace

std::string zone_prefix(std::string_view zone_name) {
  std::string prefix(zone_name);
  for (char& c : prefix) {
    if (c == ' ') c = '_';
  }
  return prefix.starts_with("zone_") ? prefix : "zone_" + prefix;
}

common::Result<void> apply_zone_allocations(json_text::Json& variant,
                                            const json_text::Json& zone_allocations,
                                            const std::filesystem::path& base_params_dir) {
  if (!zone_allocations.is_object()) return {};
  // Both levels are sorted maps, so this walks zones and their keys in byte-wise order.
  for (const auto& [zone_name, allocation] : zone_allocations.items()) {
    if (!allocation.is_object()) continue;
    for (const auto& [key, value] : allocation.items()) {
      auto name = allocated_name(value);
      if (!name) continue;
      auto applied = apply_allocation(variant, zone_name, key, *name, base_params_dir);
      if (!applied) return applied;
    }
  }
  return {};
}

}  // namespace native_runner
