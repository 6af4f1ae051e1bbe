#include "model_editing/variant_finishing.h"

#include <algorithm>
#include <string_view>

#include "json/json_members.h"

namespace model_editing {
namespace {

using json_text::Json;

bool was_applied(const std::vector<std::string>& applied_keys, std::string_view key) {
  return std::ranges::find(applied_keys, key) != applied_keys.end();
}

// The zone objects' slots in byte-wise name order (the order the sorted map keeps); empty when
// the variant has no "Zone" object.
std::vector<Json*> zones_in_order(Json& variant) {
  std::vector<Json*> zones;
  Json* section = json_text::find_object_member(variant, "Zone");
  if (section == nullptr) return zones;
  for (Json& zone : *section) zones.push_back(&zone);
  return zones;
}

void mark_opaque_elements(Json& zone) {
  Json* elements = json_text::find_object_member(zone, "BuildingElement");
  if (elements == nullptr) return;
  for (Json& element : *elements) {
    if (!element.is_object() || element.contains("is_external_door")) continue;
    const Json* type = json_text::find_member(element, "type");
    if (type != nullptr && *type == "BuildingElementOpaque") element["is_external_door"] = false;
  }
}

// Rule A: the first zone is the living room, the second the rest of the dwelling.
void label_heating_zones(Json& variant) {
  const std::vector<Json*> zones = zones_in_order(variant);
  constexpr std::string_view kLabels[] = {"livingroom", "restofdwelling"};
  for (std::size_t i = 0; i < zones.size() && i < std::size(kLabels); ++i) {
    if (zones[i]->is_object()) (*zones[i])["SpaceHeatControl"] = kLabels[i];
  }
  for (Json* zone : zones) mark_opaque_elements(*zone);
}

// Rule B: cooling systems go to the zones one each, both taken in name order.
void hand_out_cooling_systems(Json& variant) {
  Json* cooling = json_text::find_object_member(variant, "SpaceCoolSystem");
  if (cooling == nullptr) return;
  const std::vector<Json*> zones = zones_in_order(variant);
  auto system = cooling->begin();
  for (std::size_t i = 0; i < zones.size() && system != cooling->end(); ++i, ++system) {
    if (zones[i]->is_object()) (*zones[i])["SpaceCoolSystem"] = system.key();
  }
}

}  // namespace

void finish_variant(json_text::Json& variant, const std::vector<std::string>& applied_keys) {
  if (was_applied(applied_keys, "compliance_settings") ||
      was_applied(applied_keys, "model_wrappers")) {
    label_heating_zones(variant);
  }
  if (was_applied(applied_keys, "space_cooling_systems")) hand_out_cooling_systems(variant);
}

}  // namespace model_editing
