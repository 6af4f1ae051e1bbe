#include "model_editing/service_substitution.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "json/json_members.h"

namespace model_editing {
namespace {

// The controls installed by "controls"; the first two are also the names that every hot-water
// heat source is pointed at, by both "controls" and "heat_source_wet".
constexpr std::string_view kHotWaterMin = "HotWaterMin";
constexpr std::string_view kHotWaterMax = "HotWaterMax";
constexpr std::array<std::string_view, 3> kHotWaterControls = {kHotWaterMin, kHotWaterMax,
                                                               "hot_water_timer"};

bool is_hot_water_control(std::string_view name) {
  for (std::string_view control : kHotWaterControls) {
    if (name == control) return true;
  }
  return false;
}

void copy_hot_water_controls(Json& model, const Json& parameter) {
  const Json* source = json_text::find_object_member(parameter, "Control");
  Json* target = json_text::find_object_member(model, "Control");
  if (source == nullptr || target == nullptr) return;
  for (const auto& [name, value] : source->items()) {
    if (is_hot_water_control(name)) (*target)[name] = value;
  }
}

// Calls `visit` with the "HeatSource" object of every entry of `section` that is an object and
// has one; entries of other kinds are passed over.
template <typename Visit>
void for_each_heat_source_section(Json& section, Visit visit) {
  if (!section.is_object()) return;
  for (auto& [name, system] : section.items()) {
    if (Json* heat_source = json_text::find_object_member(system, "HeatSource")) visit(*heat_source);
  }
}

void link_hot_water_heat_sources(Json& model) {
  Json* sources = json_text::find_object_member(model, "HotWaterSource");
  if (sources == nullptr) return;
  for_each_heat_source_section(*sources, [](Json& heat_sources) {
    for (auto& [name, heat_source] : heat_sources.items()) {
      if (!heat_source.is_object()) continue;
      heat_source["Controlmin"] = kHotWaterMin;
      heat_source["Controlmax"] = kHotWaterMax;
    }
  });
}

// The heat source every hot-water source gets when a wet heat source is substituted.
Json wet_hot_water_heat_source(const std::string& name) {
  return Json{{"type", "HeatSourceWet"},     {"name", name},
              {"temp_flow_limit_upper", 65}, {"EnergySupply", "mains elec"},
              {"Controlmin", kHotWaterMin},  {"Controlmax", kHotWaterMax},
              {"heater_position", 0.1},      {"thermostat_position", 0.33}};
}

void install_wet_heat_sources(Json& model, const Json& sources) {
  if (!model.is_object()) return;
  if (Json* installed = json_text::find_object_member(model, "HeatSourceWet")) {
    for (const auto& [name, value] : sources.items()) (*installed)[name] = value;
  } else {
    model["HeatSourceWet"] = sources;
  }
}

void point_systems_at(Json& model, const std::string& name) {
  if (Json* systems = json_text::find_object_member(model, "SpaceHeatSystem")) {
    for_each_heat_source_section(*systems, [&](Json& heat_source) { heat_source["name"] = name; });
  }
  if (Json* sources = json_text::find_object_member(model, "HotWaterSource")) {
    for_each_heat_source_section(*sources, [&](Json& heat_source) {
      heat_source = Json::object();
      heat_source[name] = wet_hot_water_heat_source(name);
    });
  }
}

// The "MechanicalVentilation" object of the document's "InfiltrationVentilation", or nullptr.
template <typename Document>
Document* ventilation_units(Document& document) {
  Document* ventilation = json_text::find_object_member(document, "InfiltrationVentilation");
  return ventilation == nullptr ? nullptr
                                : json_text::find_object_member(*ventilation, "MechanicalVentilation");
}

}  // namespace

void install_hot_water_controls(Json& model, const Json& parameter) {
  copy_hot_water_controls(model, parameter);
  link_hot_water_heat_sources(model);
}

void substitute_wet_heat_source(Json& model, const Json& parameter) {
  const Json* sources = json_text::find_object_member(parameter, "HeatSourceWet");
  if (sources == nullptr) return;
  install_wet_heat_sources(model, *sources);
  if (sources->empty()) return;
  point_systems_at(model, sources->begin().key());
}

void substitute_ventilation_unit(Json& model, const Json& parameter) {
  const Json* offered = ventilation_units(parameter);
  Json* units = ventilation_units(model);
  if (offered == nullptr || units == nullptr || units->empty()) return;
  const auto first = units->begin();
  const std::string kept_name = first.key();
  std::optional<Json> ductwork;
  if (const Json* kept_ductwork = json_text::find_member(first.value(), "ductwork")) ductwork = *kept_ductwork;
  if (offered->empty()) return;
  Json unit = offered->begin().value();
  if (unit.is_object() && ductwork.has_value()) unit["ductwork"] = std::move(*ductwork);
  *units = Json::object();
  (*units)[kept_name] = std::move(unit);
}

}  // namespace model_editing
