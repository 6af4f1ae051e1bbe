#include "parameter_generator.h"

#include <string>

#include "model_generator.h"

namespace bench {
namespace {

Json day_schedule(Random& random, int hours) {
  Json day = Json::array();
  for (int h = 0; h < hours; ++h) {
    day.push_back({{"repeat", random.between(1, 4)}, {"value", random.decimal(0.05, 0.45, 3)}});
  }
  return day;
}

}  // namespace

Json make_fabric_parameters(int variant) {
  Random random(1000 + static_cast<std::uint64_t>(variant));
  return {
      {"wall",
       {{"u_value", random.decimal(0.1, 0.6, 2)},
        {"areal_heat_capacity", random.between(20000, 150000)},
        {"mass_distribution_class", "IE"}}},
      {"door", {{"u_value", random.decimal(0.8, 3.0, 2)}}},
      {"roof", {{"r_c", random.decimal(2.0, 9.0, 2)}, {"areal_heat_capacity", 19000}}},
      {"window",
       {{"u_value", random.decimal(0.7, 2.0, 2)},
        {"g_value", random.decimal(0.3, 0.7, 2)},
        {"frame_area_fraction", 0.25}}},
      {"ground",
       {{"u_value", random.decimal(0.1, 0.3, 2)}, {"thermal_resistance_floor_construction", 4.0}}},
      {"party_wall", {{"u_value", 0.0}}},
      {"ThermalBridging",
       {{"TB_linear", {{"linear_thermal_transmittance", random.decimal(0.01, 0.3, 3)}}},
        {"TB_point", {{"heat_transfer_coeff", random.decimal(0.0, 0.1, 3)}}}}},
      {"notes", "variant " + std::to_string(variant)}};
}

Json make_tariff(int variant) {
  Random random(2000 + static_cast<std::uint64_t>(variant));
  return {{"Tariff",
           {{"schedule",
             {{"main", Json::array({{{"repeat", 365}, {"value", "day"}}})},
              {"day", day_schedule(random, 24)}}},
            {"standing_charge", random.decimal(0.2, 0.6, 4)},
            {"name", "tariff " + std::to_string(variant)}}}};
}

Json make_heat_source_wet(int variant) {
  Random random(3000 + static_cast<std::uint64_t>(variant));
  Json tests = Json::array();
  for (const char* letter : {"A", "B", "C", "D", "F"}) {
    tests.push_back({{"test_letter", letter},
                     {"design_flow_temp", 35},
                     {"temp_test", random.between(-7, 12)},
                     {"capacity", random.decimal(4.0, 9.0, 2)},
                     {"cop", random.decimal(2.0, 6.0, 2)},
                     {"degradation_coeff", 0.9}});
  }
  const std::string name = "heat_pump_" + std::to_string(variant);
  return {{"HeatSourceWet",
           {{name,
             {{"type", "HeatPump"},
              {"EnergySupply", "mains elec"},
              {"source_type", "OutsideAir"},
              {"power_max_backup", random.decimal(2.0, 6.0, 1)},
              {"min_modulation_rate_35", 0.4},
              {"test_data_EN14825", std::move(tests)}}}}}};
}

Json make_controls(int variant) {
  Random random(4000 + static_cast<std::uint64_t>(variant));
  return {
      {"Control",
       {{"HotWaterMin", {{"type", "SetpointTimeControl"}, {"setpoint", random.decimal(45, 55, 1)}}},
        {"HotWaterMax", {{"type", "SetpointTimeControl"}, {"setpoint", random.decimal(55, 65, 1)}}},
        {"hot_water_timer",
         {{"type", "OnOffTimeControl"},
          {"schedule", {{"main", Json::array({{{"repeat", 365}, {"value", "day"}}})}}}}},
        {"space_heating_setpoint",
         {{"type", "SetpointTimeControl"},
          {"schedule", {{"main", Json::array({{{"repeat", 8760}, {"value", 21.0}}})}}}}},
        {"heating_timer",
         {{"type", "OnOffTimeControl"}, {"schedule", {{"day", day_schedule(random, 6)}}}}},
        {"unused", variant}}}};
}

Json make_lighting(int variant) {
  return {{"Lighting",
           {{"efficacy", 80.0 + variant}, {"bulbs", {{"led", {{"count", 6}, {"power", 5}}}}}}}};
}

Json make_heat_emitters(int variant) {
  return {{"SpaceHeatSystem",
           {{"low_temperature_radiators",
             {{"type", "WetDistribution"},
              {"emitters", Json::array({{{"wet_emitter_type", "radiator"}, {"n", 1.2}}})},
              {"temp_diff_emit_design", 5.0 + variant},
              {"Zone", "template zone"},
              {"Control", "template control"}}}}}};
}

Json make_zone_allocations(const Json& zone_names) {
  Json allocations = Json::object();
  if (!zone_names.empty()) {
    allocations[zone_names[0].get<std::string>()] = {{"control", "zone_control"},
                                                     {"lighting", Json::array({"zone_lighting"})},
                                                     {"space_heat_control", "livingroom"}};
  }
  if (zone_names.size() > 1) {
    allocations[zone_names[1].get<std::string>()] = {{"control", "zone_control"},
                                                     {"simplified_fabric", "zone_fabric"},
                                                     {"space_heat_emitters", "zone_emitters"},
                                                     {"space_cooling_system", "ac"}};
  }
  return allocations;
}

}  // namespace bench
