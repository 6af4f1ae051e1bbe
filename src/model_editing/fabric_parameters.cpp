#include "model_editing/fabric_parameters.h"

#include <utility>

#include "json/json_members.h"
#include "json/json_reader.h"
#include "model_editing/fabric_category.h"
#include "model_editing/object_overlay.h"

namespace model_editing {

const Json* FabricParameterSet::find(std::string_view name) const {
  const auto it = members_.find(name);
  return it == members_.end() ? nullptr : &it->second;
}

void FabricParameterSet::insert(std::string name, Json object) {
  members_.insert_or_assign(std::move(name), std::move(object));
}

common::Result<FabricParameterSet> build_fabric_parameter_set(Json value) {
  if (!value.is_object()) return common::fail(json_text::describe_invalid_type(value));
  FabricParameterSet set;
  for (auto& [name, member] : value.items()) {
    if (member.is_object()) set.insert(name, std::move(member));
  }
  return set;
}

namespace {

using json_text::find_member;
using json_text::find_object_member;

void apply_to_building_elements(Json& zone, const FabricParameterSet& set) {
  Json* elements = find_object_member(zone, "BuildingElement");
  if (elements == nullptr) return;
  for (auto& element : *elements) {
    const auto category = classify_building_element(element);
    if (!category) continue;
    const Json* members = set.find(*category);
    if (members == nullptr) continue;
    // The category's own values decide the element's thermal resistance; a stale u_value next
    // to a new r_c (or the reverse) would contradict it.
    element.erase("r_c");
    element.erase("u_value");
    overlay_object(element, *members);
  }
}

void apply_to_thermal_bridges(Json& zone, const FabricParameterSet& set, ThermalBridgeRule rule) {
  Json* bridges = find_object_member(zone, "ThermalBridging");
  const Json* parameters = set.find("ThermalBridging");
  if (bridges == nullptr || parameters == nullptr) return;
  const Json* linear = find_member(*parameters, "TB_linear");
  const Json* point = find_member(*parameters, "TB_point");
  if (rule == ThermalBridgeRule::RequireBoth && (linear == nullptr || point == nullptr)) return;

  for (auto& bridge : *bridges) {
    if (!bridge.is_object()) continue;
    const Json* type = find_member(bridge, "type");
    if (type == nullptr || !type->is_string()) continue;
    if (*type == "ThermalBridgeLinear" && linear != nullptr) {
      overlay_object(bridge, *linear);
    } else if (*type == "ThermalBridgePoint" && point != nullptr) {
      overlay_object(bridge, *point);
    }
  }
}

}  // namespace

void apply_fabric_parameters(Json& zone, const FabricParameterSet& set, ThermalBridgeRule rule) {
  apply_to_building_elements(zone, set);
  apply_to_thermal_bridges(zone, set, rule);
}

FabricApplyOutcome apply_fabric_to_model(Json& model, const FabricParameterSet& set,
                                         std::optional<std::string_view> zone_name,
                                         ThermalBridgeRule rule) {
  Json* zones = find_object_member(model, "Zone");
  if (zones == nullptr) return FabricApplyOutcome::NoZoneObject;
  if (zone_name) {
    Json* zone = find_member(*zones, *zone_name);
    if (zone == nullptr) return FabricApplyOutcome::ZoneNotFound;
    apply_fabric_parameters(*zone, set, rule);
    return FabricApplyOutcome::Applied;
  }
  for (auto& zone : *zones) apply_fabric_parameters(zone, set, rule);
  return FabricApplyOutcome::Applied;
}

}  // namespace model_editing
