#include "native_runner/variant_finishing.h"

#include <algorithm>
#include <string_view>

namespace native_runner {
namespace {

using json_text::Json;

bool was_applied(const std::vector<std::string>& applied_keys, std::string_view key) {
  return std::ranges::find(applied_keys, key) != applied_keys.end();
}

// The zone objects' slots in byte-wise name order (the order the sorted map keeps); empty when
// the variant has no "Zone" object.
std::vector<Json*> zones_in_order(Json& variant) {
  std::vector<Json*> zones;
  if (!variant.is_object()) return zones;
  auto section = variant.find("Zone");
  if (section == variant.end() || !section->is_object()) return zones;
  for (Json& zone : *section) zones.push_back(&zone);
  return zones;
}

void mark_opaque_elements(Json& zone) {
  if (!zone.is_object()) return;
  auto elements = zone.find("BuildingElement");
  if (elements == zone.end() || !elements->is_object()) return;
  for (Json& element : *elements) {
    if (!element.is_object() || element.contains("is_external_door")) continue;
    auto type = element.find("type");
    if (type != element.end() && *type == "BuildingElementOpaque") {
      element["is_external_door"] = false;
    }
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
  if (!variant.is_object()) return;
  auto cooling = variant.find("SpaceCoolSystem");
  if (cooling == variant.end() || !cooling->is_object()) return;
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

}  // namespace native_runner
