#include "model_editing/system_parameter.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "model_editing/fabric_parameters.h"
#include "json/json_members.h"
#include "model_editing/object_overlay.h"
#include "model_editing/service_substitution.h"

namespace model_editing {
namespace {

using Rule = common::Result<void> (*)(Json& model, const Json& parameter);

// Rules that cannot fail share the dispatch table with the one that can.
template <void (*Merge)(Json&, const Json&)>
common::Result<void> always_succeeds(Json& model, const Json& parameter) {
  Merge(model, parameter);
  return {};
}

// The model's section `name`, added as an empty object when missing; nullptr only when the model
// is not an object, which no rule may change.
Json* ensure_section(Json& model, std::string_view name) {
  if (!model.is_object()) return nullptr;
  return &*model.emplace(std::string(name), Json::object()).first;
}

void set_section(Json& model, std::string_view name, const Json& value) {
  if (model.is_object()) model[std::string(name)] = value;
}

// Overlays each entry of `source` onto the target's entry of the same name; names the target
// lacks are copied in when `add_missing`, skipped otherwise.
void overlay_entries(Json& target, const Json& source, bool add_missing) {
  for (const auto& [name, value] : source.items()) {
    if (Json* entry = json_text::find_member(target, name)) {
      overlay_object(*entry, value);
    } else if (add_missing) {
      target[name] = value;
    }
  }
}

void merge_location(Json& model, const Json& parameter) {
  const Json* source = json_text::find_object_member(parameter, "InfiltrationVentilation");
  Json* target = json_text::find_object_member(model, "InfiltrationVentilation");
  if (source == nullptr || target == nullptr) return;
  for (const char* name : {"shield_class", "terrain_class", "altitude"}) {
    if (const Json* value = json_text::find_member(*source, name)) (*target)[name] = *value;
  }
}

void merge_airtightness(Json& model, const Json& parameter) {
  const Json* source = json_text::find_member(parameter, "InfiltrationVentilation");
  Json* target = json_text::find_member(model, "InfiltrationVentilation");
  if (source == nullptr || target == nullptr) return;
  const Json* leaks = json_text::find_member(*source, "Leaks");
  Json* model_leaks = json_text::find_member(*target, "Leaks");
  if (leaks != nullptr && model_leaks != nullptr) overlay_object(*model_leaks, *leaks);
}

void merge_space_heat_emitters(Json& model, const Json& parameter) {
  const Json* source = json_text::find_object_member(parameter, "SpaceHeatSystem");
  Json* target = json_text::find_object_member(model, "SpaceHeatSystem");
  if (source != nullptr && target != nullptr) overlay_entries(*target, *source, false);
}

void replace_hot_water_source(Json& model, const Json& parameter) {
  if (const Json* source = json_text::find_member(parameter, "HotWaterSource")) {
    set_section(model, "HotWaterSource", *source);
  }
}

// "tariff" and "solar_systems": the section is ensured even when the parameter's value then
// turns out not to be an object.
void ensure_and_overlay(Json& model, const Json& parameter, std::string_view name) {
  const Json* source = json_text::find_member(parameter, name);
  if (source == nullptr) return;
  if (Json* target = ensure_section(model, name)) overlay_object(*target, *source);
}

void merge_tariff(Json& model, const Json& parameter) {
  ensure_and_overlay(model, parameter, "Tariff");
}

void merge_internal_gains(Json& model, const Json& parameter) {
  const Json* source = json_text::find_member(parameter, "InternalGains");
  Json* target = json_text::find_member(model, "InternalGains");
  if (source != nullptr && target != nullptr) overlay_object(*target, *source);
}

// An event entry that is not an object, here or in the parameter, is left as the model has it.
void merge_events(Json& model, const Json& parameter) {
  const Json* source = json_text::find_member(parameter, "Events");
  if (source == nullptr) return;
  Json* target = ensure_section(model, "Events");
  if (target != nullptr && target->is_object() && source->is_object()) {
    overlay_entries(*target, *source, true);
  }
}

void merge_solar_systems(Json& model, const Json& parameter) {
  ensure_and_overlay(model, parameter, "OnSiteGeneration");
}

void merge_battery_systems(Json& model, const Json& parameter) {
  const Json* source = json_text::find_object_member(parameter, "EnergySupply");
  Json* target = json_text::find_object_member(model, "EnergySupply");
  if (source != nullptr && target != nullptr) overlay_entries(*target, *source, true);
}

common::Result<void> merge_simplified_fabric(Json& model, const Json& parameter) {
  auto set = build_fabric_parameter_set(parameter);
  if (!set) return std::unexpected(std::move(set.error()));
  apply_fabric_to_model(model, *set, std::nullopt, ThermalBridgeRule::Independent);
  return {};
}

void merge_space_cooling_systems(Json& model, const Json& parameter) {
  const Json* source = json_text::find_object_member(parameter, "SpaceCoolSystem");
  if (source == nullptr) return;
  if (Json* target = json_text::find_object_member(model, "SpaceCoolSystem")) {
    for (const auto& [name, value] : source->items()) (*target)[name] = value;
  } else {
    set_section(model, "SpaceCoolSystem", *source);
  }
}

void merge_lighting(Json& model, const Json& parameter) {
  const Json* source = json_text::find_member(parameter, "Lighting");
  if (source == nullptr) return;
  if (Json* target = json_text::find_member(model, "Lighting")) {
    overlay_object(*target, *source);
  } else {
    set_section(model, "Lighting", *source);
  }
}

void replace_compliance_sections(Json& model, const Json& parameter) {
  if (!model.is_object() || !parameter.is_object()) return;
  for (const auto& [name, value] : parameter.items()) model[name] = value;
}

struct KeyedRule {
  std::string_view key;
  Rule rule;
};

constexpr std::array<KeyedRule, 16> kRules = {{
    {"location", always_succeeds<merge_location>},
    {"airtightness", always_succeeds<merge_airtightness>},
    {"space_heat_emitters", always_succeeds<merge_space_heat_emitters>},
    {"controls", always_succeeds<install_hot_water_controls>},
    {"hot_water_source", always_succeeds<replace_hot_water_source>},
    {"tariff", always_succeeds<merge_tariff>},
    {"internal_gains", always_succeeds<merge_internal_gains>},
    {"events", always_succeeds<merge_events>},
    {"solar_systems", always_succeeds<merge_solar_systems>},
    {"battery_systems", always_succeeds<merge_battery_systems>},
    {"mechanical_ventilation_unit", always_succeeds<substitute_ventilation_unit>},
    {"simplified_fabric", merge_simplified_fabric},
    {"heat_source_wet", always_succeeds<substitute_wet_heat_source>},
    {"space_cooling_systems", always_succeeds<merge_space_cooling_systems>},
    {"lighting", always_succeeds<merge_lighting>},
    {"compliance_settings", always_succeeds<replace_compliance_sections>},
}};

}  // namespace

common::Result<void> apply_system_parameter(Json& model, std::string_view key,
                                            const Json& parameter) {
  for (const KeyedRule& entry : kRules) {
    if (entry.key == key) return entry.rule(model, parameter);
  }
  return {};
}

}  // namespace model_editing
