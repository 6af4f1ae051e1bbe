#include "model_editing/zone_allocation.h"

#include <array>
#include <utility>

#include "json/json_members.h"
#include "model_editing/fabric_parameters.h"

namespace model_editing {
namespace {

using json_text::find_member;
using json_text::find_object_member;
using json_text::Json;

// The zone object named `zone_name` in the variant's "Zone" section, when it is an object.
Json* zone_object(Json& variant, std::string_view zone_name) {
  Json* zones = find_object_member(variant, "Zone");
  return zones == nullptr ? nullptr : find_object_member(*zones, zone_name);
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

bool serves_zone(const Json& system, std::string_view zone_name) {
  const std::string* zone = json_text::find_string_member(system, "Zone");
  return zone != nullptr && *zone == zone_name;
}

void allocate_control(Json& variant, std::string_view zone_name, const Json& file) {
  const Json* controls = find_object_member(file, "Control");
  if (controls == nullptr) return;

  const std::string prefix = zone_prefix(zone_name);
  if (Json* target = find_object_member(variant, "Control")) {
    for (std::string_view entry : {"space_heating_setpoint", "heating_timer"}) {
      if (const Json* value = find_member(*controls, entry)) {
        (*target)[prefix + "_" + std::string(entry)] = *value;
      }
    }
  }
  // Heat systems follow the zone's setpoint even when the variant has no "Control" section
  // to receive the entries.
  const Json setpoint_name = prefix + "_space_heating_setpoint";
  if (Json* systems = find_object_member(variant, "SpaceHeatSystem")) {
    for (auto& [system_name, system] : systems->items()) {
      if (system.is_object() && serves_zone(system, zone_name)) system["Control"] = setpoint_name;
    }
  }
}

void allocate_lighting(Json& variant, std::string_view zone_name, const Json& file) {
  const Json* lighting = find_member(file, "Lighting");
  Json* zone = zone_object(variant, zone_name);
  if (lighting != nullptr && zone != nullptr) (*zone)["Lighting"] = *lighting;
}

common::Result<void> allocate_fabric(Json& variant, std::string_view zone_name, Json file) {
  auto set = build_fabric_parameter_set(std::move(file));
  if (!set) return std::unexpected(set.error());
  // A variant without this zone is left as it is; the outcome says nothing the batch reports.
  apply_fabric_to_model(variant, *set, zone_name, ThermalBridgeRule::Independent);
  return {};
}

void allocate_zone_text(Json& variant, std::string_view zone_name, std::string_view member_name,
                        const std::string& name) {
  if (Json* zone = zone_object(variant, zone_name)) (*zone)[std::string(member_name)] = name;
}

// The replaced heat system keeps what ties it to the dwelling: its zone, its heat source and
// the control that an earlier "control" allocation may have written.
constexpr std::array<std::string_view, 3> kKeptSystemMembers = {"Control", "Zone", "HeatSource"};

void allocate_emitters(Json& variant, std::string_view zone_name, const Json& file) {
  const Json* templates = find_object_member(file, "SpaceHeatSystem");
  if (templates == nullptr || templates->empty()) return;
  Json* systems = find_object_member(variant, "SpaceHeatSystem");
  if (systems == nullptr) return;

  for (auto& [system_name, system] : systems->items()) {
    if (!system.is_object() || !serves_zone(system, zone_name)) continue;
    Json replacement = templates->front();
    if (replacement.is_object()) {
      for (std::string_view kept : kKeptSystemMembers) {
        replacement.erase(std::string(kept));
        if (const Json* old = find_member(system, kept)) replacement[std::string(kept)] = *old;
      }
    }
    system = std::move(replacement);
    break;
  }
}

}  // namespace

std::string zone_prefix(std::string_view zone_name) {
  std::string prefix(zone_name);
  for (char& c : prefix) {
    if (c == ' ') c = '_';
  }
  return prefix.starts_with("zone_") ? prefix : "zone_" + prefix;
}

std::vector<ZoneAllocation> list_zone_allocations(const Json& zone_allocations) {
  std::vector<ZoneAllocation> entries;
  if (!zone_allocations.is_object()) return entries;
  // Both levels are sorted maps, so this walks zones and their keys in byte-wise order.
  for (const auto& [zone_name, allocation] : zone_allocations.items()) {
    if (!allocation.is_object()) continue;
    for (const auto& [key, value] : allocation.items()) {
      if (auto name = allocated_name(value)) {
        entries.push_back(ZoneAllocation{zone_name, key, std::move(*name)});
      }
    }
  }
  return entries;
}

std::optional<std::string_view> allocation_folder(std::string_view key) {
  if (key == "control") return "controls";
  if (key == "lighting" || key == "simplified_fabric" || key == "space_heat_emitters") return key;
  return std::nullopt;
}

common::Result<void> apply_zone_allocation(Json& variant, const ZoneAllocation& allocation,
                                           Json document) {
  const std::string_view zone = allocation.zone;
  const std::string_view key = allocation.key;
  if (key == "control") allocate_control(variant, zone, document);
  if (key == "lighting") allocate_lighting(variant, zone, document);
  if (key == "simplified_fabric") return allocate_fabric(variant, zone, std::move(document));
  if (key == "space_cooling_system") {
    allocate_zone_text(variant, zone, "SpaceCoolSystem", allocation.name);
  }
  if (key == "space_heat_control") {
    allocate_zone_text(variant, zone, "SpaceHeatControl", allocation.name);
  }
  if (key == "space_heat_emitters") allocate_emitters(variant, zone, document);
  return {};
}

}  // namespace model_editing
