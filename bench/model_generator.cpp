#include "model_generator.h"

#include <cmath>
#include <string>
#include <string_view>

namespace bench {
namespace {

// Zone names include spaces and non-ASCII letters, as real dwellings do.
const char* const kZoneNames[] = {"Living Room", "kitchen",        "Küche-Ess", "bedroom_1",
                                  "zone_5",      "Salle à manger", "bedroom_2", "study"};

// Appending to a named string, rather than adding a literal to std::to_string, keeps GCC 12 from a
// false -Wstringop-overflow.
std::string numbered(std::string_view prefix, long long number) {
  std::string text(prefix);
  text += std::to_string(number);
  return text;
}

std::string zone_name(int index) {
  const int count = static_cast<int>(std::size(kZoneNames));
  std::string name = kZoneNames[index % count];
  if (index >= count) name += numbered("_", index / count);
  return name;
}

Json schedule(Random& random, int length, bool integers) {
  Json values = Json::array();
  auto& array = values.get_ref<Json::array_t&>();
  array.reserve(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i) {
    if (integers) {
      array.emplace_back(random.between(0, 5000));
    } else {
      array.emplace_back(random.decimal(0.0, 40.0, static_cast<int>(random.between(1, 6))));
    }
  }
  return values;
}

Json opaque_element(Random& random, int pitch, bool door) {
  Json element = {{"type", "BuildingElementOpaque"},
                  {"pitch", pitch},
                  {"orientation360", random.between(0, 359)},
                  {"area", random.decimal(1.0, 30.0, 2)},
                  {"u_value", random.decimal(0.1, 2.0, 3)},
                  {"areal_heat_capacity", random.between(10000, 150000)},
                  {"mass_distribution_class", "IE"},
                  {"solar_absorption_coeff", random.decimal(0.3, 0.9, 2)},
                  {"base_height", 0},
                  {"height", random.decimal(1.8, 3.0, 2)},
                  {"width", random.decimal(0.8, 8.0, 2)},
                  {"is_unheated_pitched_roof", false}};
  if (door) element["is_external_door"] = "TRUE";
  return element;
}

Json window_element(Random& random) {
  return {{"type", "BuildingElementTransparent"},
          {"pitch", 90},
          {"orientation360", random.between(0, 359)},
          {"u_value", random.decimal(0.8, 2.8, 2)},
          {"g_value", random.decimal(0.3, 0.8, 2)},
          {"frame_area_fraction", 0.25},
          {"base_height", 1.0},
          {"height", random.decimal(0.6, 2.0, 2)},
          {"width", random.decimal(0.5, 3.0, 2)},
          {"free_area_height", 1.0},
          {"mid_height_air_flow_path", 1.5},
          {"max_window_open_area", random.decimal(0.2, 2.0, 2)},
          {"window_part_list", Json::array({{{"mid_height_air_flow_path", 1.5}}})},
          {"shading", Json::array({{{"type", "overhang"}, {"depth", 0.5}, {"distance", 0.2}}})}};
}

Json ground_element(Random& random) {
  return {{"type", "BuildingElementGround"},
          {"pitch", 180},
          {"area", random.decimal(10.0, 60.0, 1)},
          {"total_area", random.decimal(40.0, 120.0, 1)},
          {"perimeter", random.decimal(10.0, 40.0, 2)},
          {"u_value", random.decimal(0.1, 0.6, 3)},
          {"thermal_resistance_floor_construction", random.decimal(1.0, 5.0, 2)},
          {"areal_heat_capacity", 110000},
          {"mass_distribution_class", "IE"},
          {"floor_type", "Slab_no_edge_insulation"},
          {"psi_wall_floor_junc", 0.16},
          {"thickness_walls", 0.3}};
}

Json party_element(Random& random, bool conditioned) {
  return {{"type", conditioned ? "BuildingElementAdjacentConditionedSpace"
                               : "BuildingElementAdjacentUnconditionedSpace_Simple"},
          {"pitch", 90},
          {"area", random.decimal(5.0, 25.0, 2)},
          {"u_value", random.decimal(0.0, 0.5, 2)},
          {"areal_heat_capacity", 110000},
          {"mass_distribution_class", "IE"}};
}

// Cycles through every fabric category so each merge rule finds work.
Json building_element(Random& random, int index) {
  switch (index % 8) {
    case 0:
    case 1:
      return opaque_element(random, 90, false);
    case 2:
      return opaque_element(random, 90, true);
    case 3:
      return opaque_element(random, static_cast<int>(random.between(0, 45)), false);
    case 4:
    case 5:
      return window_element(random);
    case 6:
      return index % 16 == 6 ? ground_element(random) : party_element(random, true);
    default:
      return party_element(random, false);
  }
}

Json thermal_bridge(Random& random, int index) {
  if (index % 3 == 2) {
    return {{"type", "ThermalBridgePoint"}, {"heat_transfer_coeff", random.decimal(0.0, 0.2, 3)}};
  }
  return {{"type", "ThermalBridgeLinear"},
          {"junction_type", numbered("E", index % 25 + 1)},
          {"linear_thermal_transmittance", random.decimal(0.0, 1.0, 3)},
          {"length", random.decimal(0.5, 12.0, 2)}};
}

Json zone(Random& random, const ModelShape& shape, int index) {
  Json elements = Json::object();
  for (int e = 0; e < shape.elements_per_zone; ++e) {
    elements[numbered("element_", e)] =
        shape.minimal_services ? party_element(random, true) : building_element(random, e);
  }
  Json bridges = Json::object();
  for (int b = 0; b < shape.bridges_per_zone; ++b) {
    bridges[numbered("bridge_", b)] = thermal_bridge(random, b);
  }
  Json result = {{"area", random.decimal(8.0, 40.0, 2)},
                 {"BuildingElement", std::move(elements)},
                 {"ThermalBridging", std::move(bridges)}};
  if (shape.minimal_services) return result;
  result["volume"] = random.decimal(20.0, 100.0, 2);
  result["SpaceHeatSystem"] = numbered("heating_", index);
  result["Lighting"] = {{"efficacy", 56.0}, {"bulbs", {{"led", {{"count", 4}, {"power", 6}}}}}};
  return result;
}

Json controls(Random& random, const ModelShape& shape) {
  Json section = Json::object();
  for (int c = 0; c < shape.controls; ++c) {
    section[numbered("control_", c)] = {
        {"type", "SetpointTimeControl"},
        {"start_day", 0},
        {"time_series_step", 1},
        {"schedule", {{"main", schedule(random, shape.schedule_length, c % 2 == 0)}}}};
  }
  section["HotWaterMin"] = {{"type", "SetpointTimeControl"}, {"setpoint", 52.0}};
  section["HotWaterMax"] = {{"type", "SetpointTimeControl"}, {"setpoint", 60.0}};
  section["hot_water_timer"] = {{"type", "OnOffTimeControl"},
                                {"schedule", {{"main", schedule(random, 48, true)}}}};
  return section;
}

Json internal_gains(Random& random, const ModelShape& shape) {
  Json gains = Json::object();
  for (int g = 0; g < shape.gains; ++g) {
    gains[numbered("gain_", g)] = {
        {"start_day", 0},
        {"time_series_step", 0.5},
        {"schedule", {{"main", schedule(random, shape.schedule_length, g % 2 == 1)}}}};
  }
  return gains;
}

Json heat_systems(const Json& names, bool minimal) {
  Json systems = Json::object();
  for (std::size_t z = 0; z < names.size(); ++z) {
    if (minimal) {
      systems[numbered("heating_", z)] = {{"Zone", names[z]}, {"HeatSource", {{"name", "boiler"}}}};
      continue;
    }
    systems[numbered("heating_", z)] = {
        {"type", "WetDistribution"},
        {"Zone", names[z]},
        {"HeatSource", {{"name", "boiler"}, {"temp_flow_limit_upper", 65}}},
        {"emitters", Json::array({{{"wet_emitter_type", "radiator"}, {"n", 1.34}, {"c", 0.08}}})},
        {"temp_diff_emit_design", 10.0},
        {"Control", "control_0"}};
  }
  return systems;
}

Json events(Random& random) {
  Json showers = Json::array();
  for (int i = 0; i < 40; ++i) {
    showers.push_back({{"start", random.decimal(0.0, 8760.0, 2)},
                       {"duration", random.between(3, 12)},
                       {"temperature", 41.0}});
  }
  return {{"Shower", {{"mixer", std::move(showers)}}}};
}

// Just enough for every benchmarked merge to find its section.
Json minimal_services() {
  return {
      {"HeatSourceWet", {{"boiler", {{"type", "Boiler"}}}}},
      {"HotWaterSource", {{"hw cylinder", {{"HeatSource", {{"boiler", {{"name", "boiler"}}}}}}}}},
      {"Control", {{"HotWaterMin", {{"setpoint", 52.0}}}}},
      {"Tariff", {{"standing_charge", 0.25}}}};
}

Json services(Random& random) {
  return {
      {"HeatSourceWet",
       {{"boiler", {{"type", "Boiler"}, {"EnergySupply", "mains gas"}, {"efficiency", 0.89}}}}},
      {"HotWaterSource",
       {{"hw cylinder",
         {{"type", "StorageTank"},
          {"volume", 150.0},
          {"HeatSource",
           {{"immersion", {{"type", "ImmersionHeater"}, {"power", 3.0}}},
            {"boiler", {{"type", "HeatSourceWet"}, {"name", "boiler"}}}}}}}}},
      {"EnergySupply",
       {{"mains elec", {{"fuel", "electricity"}, {"is_export_capable", true}}},
        {"mains gas", {{"fuel", "mains_gas"}}}}},
      {"Tariff", {{"schedule", {{"main", schedule(random, 48, false)}}}}},
      {"SpaceCoolSystem", {{"ac", {{"type", "AirConditioning"}, {"cooling_capacity", 3.5}}}}},
      {"InfiltrationVentilation",
       {{"shield_class", "Normal"},
        {"terrain_class", "Suburban"},
        {"altitude", 30},
        {"Leaks", {{"ventilation_zone_height", 6.0}, {"test_pressure", 50}}},
        {"MechanicalVentilation",
         {{"mvhr", {{"vent_type", "MVHR"}, {"ductwork", Json::array({{{"length", 2.0}}})}}}}}}}};
}

}  // namespace

std::uint64_t Random::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

std::int64_t Random::between(std::int64_t low, std::int64_t high) {
  const auto span = static_cast<std::uint64_t>(high - low) + 1;
  return low + static_cast<std::int64_t>(next() % span);
}

double Random::decimal(double low, double high, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const double unit = static_cast<double>(next() >> 11) * 0x1.0p-53;
  return std::round((low + unit * (high - low)) * scale) / scale;
}

ModelShape realistic_shape() { return ModelShape{}; }

ModelShape small_shape() {
  return ModelShape{.zones = 2,
                    .elements_per_zone = 1,
                    .bridges_per_zone = 1,
                    .controls = 0,
                    .schedule_length = 0,
                    .gains = 0,
                    .minimal_services = true};
}

Json zone_names(const ModelShape& shape) {
  Json names = Json::array();
  for (int z = 0; z < shape.zones; ++z) names.push_back(zone_name(z));
  return names;
}

Json make_model(const ModelShape& shape) {
  Random random(20240611);
  const Json names = zone_names(shape);
  Json zones = Json::object();
  for (int z = 0; z < shape.zones; ++z) zones[names[z].get<std::string>()] = zone(random, shape, z);
  Json model = shape.minimal_services ? minimal_services() : services(random);
  model["SimulationTime"] = {{"start", 0}, {"end", 8760}, {"step", 1}};
  if (!shape.minimal_services)
    model["General"] = {{"storeys_in_building", 2}, {"build_type", "house"}};
  model["Zone"] = std::move(zones);
  model["SpaceHeatSystem"] = heat_systems(names, shape.minimal_services);
  if (shape.controls > 0) model["Control"] = controls(random, shape);
  if (shape.gains > 0) {
    model["InternalGains"] = internal_gains(random, shape);
    model["Events"] = events(random);
  }
  return model;
}

}  // namespace bench
