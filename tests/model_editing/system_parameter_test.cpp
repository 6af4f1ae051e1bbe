#include "model_editing/system_parameter.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_reader.h"

namespace model_editing {
namespace {

Json parse(std::string_view text) {
  auto parsed = json_text::parse_json(text);
  EXPECT_TRUE(parsed.has_value()) << text;
  return parsed.value_or(Json());
}

struct MergeCase {
  std::string name;
  std::string key;
  std::string model;
  std::string parameter;
  std::string expected;
};

void PrintTo(const MergeCase& row, std::ostream* out) { *out << row.name; }

class SystemParameterMerge : public testing::TestWithParam<MergeCase> {};

TEST_P(SystemParameterMerge, GivesExpectedModel) {
  const MergeCase& row = GetParam();
  Json model = parse(row.model);
  const Json parameter = parse(row.parameter);
  const Json parameter_before = parameter;

  ASSERT_TRUE(apply_system_parameter(model, row.key, parameter).has_value());

  EXPECT_EQ(model, parse(row.expected));
  EXPECT_EQ(parameter, parameter_before);
}

const MergeCase kMergeCases[] = {
    // location
    {"location_copies_the_three_site_values", "location",
     R"({"InfiltrationVentilation":{"shield_class":"normal","terrain_class":"suburban",
         "altitude":30,"Leaks":{"test_result":5}}})",
     R"({"InfiltrationVentilation":{"shield_class":"open","terrain_class":"rural","altitude":120,
         "Leaks":{"test_result":1},"cross_vent_possible":true}})",
     R"({"InfiltrationVentilation":{"shield_class":"open","terrain_class":"rural",
         "altitude":120,"Leaks":{"test_result":5}}})"},
    {"location_with_altitude_only_keeps_the_classes", "location",
     R"({"InfiltrationVentilation":{"shield_class":"normal","terrain_class":"suburban",
         "altitude":30}})",
     R"({"InfiltrationVentilation":{"altitude":null}})",
     R"({"InfiltrationVentilation":{"shield_class":"normal","terrain_class":"suburban",
         "altitude":null}})"},
    {"location_does_not_create_the_section", "location", R"({"Zone":{}})",
     R"({"InfiltrationVentilation":{"altitude":120}})", R"({"Zone":{}})"},
    {"location_stops_on_a_parameter_section_that_is_no_object", "location",
     R"({"InfiltrationVentilation":{"altitude":30}})", R"({"InfiltrationVentilation":[120]})",
     R"({"InfiltrationVentilation":{"altitude":30}})"},
    // airtightness
    {"airtightness_overlays_leaks", "airtightness",
     R"({"InfiltrationVentilation":{"altitude":30,"Leaks":{"test_pressure":50,"test_result":5,
         "env_area":{"walls":100,"roof":40}}}})",
     R"({"InfiltrationVentilation":{"altitude":99,"Leaks":{"test_result":3.5,
         "env_area":{"walls":90}}}})",
     R"({"InfiltrationVentilation":{"altitude":30,"Leaks":{"test_pressure":50,"test_result":3.5,
         "env_area":{"walls":90}}}})"},
    {"airtightness_does_not_create_leaks", "airtightness",
     R"({"InfiltrationVentilation":{"altitude":30}})",
     R"({"InfiltrationVentilation":{"Leaks":{"test_result":3}}})",
     R"({"InfiltrationVentilation":{"altitude":30}})"},
    {"airtightness_ignores_leaks_that_are_no_object", "airtightness",
     R"({"InfiltrationVentilation":{"Leaks":{"test_result":5}}})",
     R"({"InfiltrationVentilation":{"Leaks":"tight"}})",
     R"({"InfiltrationVentilation":{"Leaks":{"test_result":5}}})"},
    // space_heat_emitters
    {"space_heat_emitters_overlays_known_systems_only", "space_heat_emitters",
     R"({"SpaceHeatSystem":{"main":{"type":"WetDistribution","temp_diff_emit_design":10,
         "emitters":[{"c":0.01}],"HeatSource":{"name":"boiler"}}}})",
     R"({"SpaceHeatSystem":{"main":{"temp_diff_emit_design":5,"emitters":[{"c":0.02,"n":1.3}]},
         "extra":{"type":"InstantElecHeater"}}})",
     R"({"SpaceHeatSystem":{"main":{"type":"WetDistribution","temp_diff_emit_design":5,
         "emitters":[{"c":0.02,"n":1.3}],"HeatSource":{"name":"boiler"}}}})"},
    {"space_heat_emitters_stops_on_a_model_array", "space_heat_emitters",
     R"({"SpaceHeatSystem":[{"main":{}}]})", R"({"SpaceHeatSystem":{"main":{"x":1}}})",
     R"({"SpaceHeatSystem":[{"main":{}}]})"},
    // controls
    {"controls_installs_and_links_hot_water_controls", "controls",
     R"({"Control":{"HotWaterMin":{"type":"old"}},
         "HotWaterSource":{"hw cylinder":{"HeatSource":{"immersion":{"type":"ImmersionHeater"}}}}})",
     R"({"Control":{"HotWaterMin":{"type":"SetpointTimeControl","start_day":0}}})",
     R"({"Control":{"HotWaterMin":{"type":"SetpointTimeControl","start_day":0}},
         "HotWaterSource":{"hw cylinder":{"HeatSource":{"immersion":{"type":"ImmersionHeater",
         "Controlmin":"HotWaterMin","Controlmax":"HotWaterMax"}}}}})"},
    {"controls_ignores_a_control_section_that_is_no_object", "controls",
     R"({"Control":{"HotWaterMin":{"type":"old"}}})", R"({"Control":5})",
     R"({"Control":{"HotWaterMin":{"type":"old"}}})"},
    // hot_water_source
    {"hot_water_source_replaces_the_section_whole", "hot_water_source",
     R"({"HotWaterSource":{"hw cylinder":{"volume":200},"second":{}}})",
     R"({"HotWaterSource":{"combi":{"type":"CombiBoiler"}}})",
     R"({"HotWaterSource":{"combi":{"type":"CombiBoiler"}}})"},
    {"hot_water_source_null_is_copied", "hot_water_source",
     R"({"HotWaterSource":{"hw cylinder":{}}})", R"({"HotWaterSource":null})",
     R"({"HotWaterSource":null})"},
    {"hot_water_source_absent_changes_nothing", "hot_water_source",
     R"({"HotWaterSource":{"hw cylinder":{}}})", R"({"Tariff":{}})",
     R"({"HotWaterSource":{"hw cylinder":{}}})"},
    // tariff
    {"tariff_is_added_when_missing", "tariff", R"({"Zone":{}})",
     R"({"Tariff":{"schedule":{"main":[1,2]}}})",
     R"({"Zone":{},"Tariff":{"schedule":{"main":[1,2]}}})"},
    {"tariff_overlay_is_one_level_deep", "tariff",
     R"({"Tariff":{"schedule":{"main":[1],"alt":[2]},"standing_charge":0.5}})",
     R"({"Tariff":{"schedule":{"main":[3]}}})",
     R"({"Tariff":{"schedule":{"main":[3]},"standing_charge":0.5}})"},
    {"tariff_string_leaves_an_ensured_empty_section", "tariff", R"({"Zone":{}})",
     R"({"Tariff":"economy7"})", R"({"Zone":{},"Tariff":{}})"},
    {"tariff_string_keeps_the_models_own", "tariff", R"({"Tariff":{"a":1}})",
     R"({"Tariff":"economy7"})", R"({"Tariff":{"a":1}})"},
    {"tariff_absent_ensures_nothing", "tariff", R"({"Zone":{}})", R"({"Lighting":{}})",
     R"({"Zone":{}})"},
    // internal_gains
    {"internal_gains_overlays_the_models_section", "internal_gains",
     R"({"InternalGains":{"metabolic gains":{"start_day":0},"other":{"start_day":1}}})",
     R"({"InternalGains":{"metabolic gains":{"start_day":2}}})",
     R"({"InternalGains":{"metabolic gains":{"start_day":2},"other":{"start_day":1}}})"},
    {"internal_gains_is_not_created", "internal_gains", R"({"Zone":{}})",
     R"({"InternalGains":{"other":{}}})", R"({"Zone":{}})"},
    // events
    {"events_adds_overlays_and_keeps_non_object_entries", "events",
     R"({"Events":{"Shower":{"mixer":[{"start":7}]},"Bath":[{"start":20}]}})",
     R"({"Events":{"Shower":{"IES":[{"start":8}]},"Bath":{"medium":[]},"Other":{"x":[]}}})",
     R"({"Events":{"Shower":{"IES":[{"start":8}],"mixer":[{"start":7}]},
         "Bath":[{"start":20}],"Other":{"x":[]}}})"},
    {"events_string_leaves_an_ensured_empty_section", "events", R"({"Zone":{}})",
     R"({"Events":"none"})", R"({"Zone":{},"Events":{}})"},
    {"events_keeps_a_model_section_that_is_no_object", "events", R"({"Events":[1]})",
     R"({"Events":{"Shower":{}}})", R"({"Events":[1]})"},
    {"events_absent_ensures_nothing", "events", R"({"Zone":{}})", R"({})", R"({"Zone":{}})"},
    // solar_systems
    {"solar_systems_adds_the_section", "solar_systems", R"({"Zone":{}})",
     R"({"OnSiteGeneration":{"PV 1":{"peak_power":3.5}}})",
     R"({"Zone":{},"OnSiteGeneration":{"PV 1":{"peak_power":3.5}}})"},
    {"solar_systems_overlays_the_section", "solar_systems",
     R"({"OnSiteGeneration":{"PV 1":{"peak_power":2},"PV 2":{"peak_power":1}}})",
     R"({"OnSiteGeneration":{"PV 1":{"pitch":30}}})",
     R"({"OnSiteGeneration":{"PV 1":{"pitch":30},"PV 2":{"peak_power":1}}})"},
    {"solar_systems_array_leaves_an_ensured_empty_section", "solar_systems", R"({})",
     R"({"OnSiteGeneration":[]})", R"({"OnSiteGeneration":{}})"},
    // battery_systems
    {"battery_systems_overlays_and_adds_supplies", "battery_systems",
     R"({"EnergySupply":{"mains elec":{"fuel":"electricity","is_export_capable":true}}})",
     R"({"EnergySupply":{"mains elec":{"ElectricBattery":{"capacity":10}},
         "mains gas":{"fuel":"mains_gas"}}})",
     R"({"EnergySupply":{"mains elec":{"fuel":"electricity","is_export_capable":true,
         "ElectricBattery":{"capacity":10}},"mains gas":{"fuel":"mains_gas"}}})"},
    {"battery_systems_stops_on_a_null_model_section", "battery_systems", R"({"EnergySupply":null})",
     R"({"EnergySupply":{"mains gas":{}}})", R"({"EnergySupply":null})"},
    // mechanical_ventilation_unit
    {"mechanical_ventilation_unit_substitutes_the_unit", "mechanical_ventilation_unit",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":{"SFP":1.5,
         "ductwork":[{"length":5}]}}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"new unit":{"SFP":0.9,
         "vent_type":"MVHR"}}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":{"SFP":0.9,
         "vent_type":"MVHR","ductwork":[{"length":5}]}}}})"},
    {"mechanical_ventilation_unit_stops_without_a_parameter_unit", "mechanical_ventilation_unit",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":{"SFP":1.5}}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":{"SFP":1.5}}}})"},
    // simplified_fabric
    {"simplified_fabric_merges_every_zone", "simplified_fabric",
     R"({"Zone":{"a":{"BuildingElement":{"wall":{"type":"BuildingElementOpaque","pitch":90,
         "u_value":1.5,"r_c":0.4}},"ThermalBridging":{"tb":{"type":"ThermalBridgeLinear",
         "length":4,"linear_thermal_transmittance":0.1}}},
         "b":{"BuildingElement":{"roof":{"type":"BuildingElementOpaque","pitch":0,"u_value":2}}}}})",
     R"({"wall":{"u_value":0.18},"roof":{"r_c":5},"note":"ignored",
         "ThermalBridging":{"TB_linear":{"linear_thermal_transmittance":0.05}}})",
     R"({"Zone":{"a":{"BuildingElement":{"wall":{"type":"BuildingElementOpaque","pitch":90,
         "u_value":0.18}},"ThermalBridging":{"tb":{"type":"ThermalBridgeLinear","length":4,
         "linear_thermal_transmittance":0.05}}},
         "b":{"BuildingElement":{"roof":{"type":"BuildingElementOpaque","pitch":0,"r_c":5}}}}})"},
    {"simplified_fabric_without_zones_succeeds", "simplified_fabric", R"({"Tariff":{}})",
     R"({"wall":{"u_value":0.18}})", R"({"Tariff":{}})"},
    // heat_source_wet
    {"heat_source_wet_installs_and_repoints", "heat_source_wet",
     R"({"HeatSourceWet":{"boiler":{"type":"Boiler"}},
         "SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler","temp_flow_limit_upper":60}}},
         "HotWaterSource":{"hw cylinder":{"volume":200,"HeatSource":{"boiler":{"type":"old"},
         "immersion":{"type":"ImmersionHeater"}}}}})",
     R"({"HeatSourceWet":{"hp":{"type":"HeatPump"},"Zeta boiler":{"type":"Boiler"}}})",
     R"({"HeatSourceWet":{"boiler":{"type":"Boiler"},"hp":{"type":"HeatPump"},
         "Zeta boiler":{"type":"Boiler"}},
         "SpaceHeatSystem":{"main":{"HeatSource":{"name":"Zeta boiler",
         "temp_flow_limit_upper":60}}},
         "HotWaterSource":{"hw cylinder":{"volume":200,"HeatSource":{"Zeta boiler":{
         "type":"HeatSourceWet","name":"Zeta boiler","temp_flow_limit_upper":65,
         "EnergySupply":"mains elec","Controlmin":"HotWaterMin","Controlmax":"HotWaterMax",
         "heater_position":0.1,"thermostat_position":0.33}}}}})"},
    {"heat_source_wet_stops_on_a_string", "heat_source_wet",
     R"({"SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler"}}}})",
     R"({"HeatSourceWet":"hp"})",
     R"({"SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler"}}}})"},
    // space_cooling_systems
    {"space_cooling_systems_replaces_entries_whole", "space_cooling_systems",
     R"({"SpaceCoolSystem":{"ac1":{"type":"AirConditioning","cooling_capacity":3,
         "efficiency":3.5},"ac2":{"type":"AirConditioning"}}})",
     R"({"SpaceCoolSystem":{"ac1":{"type":"AirConditioning","cooling_capacity":5}}})",
     R"({"SpaceCoolSystem":{"ac1":{"type":"AirConditioning","cooling_capacity":5},
         "ac2":{"type":"AirConditioning"}}})"},
    {"space_cooling_systems_replaces_a_model_array", "space_cooling_systems",
     R"({"SpaceCoolSystem":[{"ac1":{}}]})", R"({"SpaceCoolSystem":{"ac1":{"efficiency":3}}})",
     R"({"SpaceCoolSystem":{"ac1":{"efficiency":3}}})"},
    {"space_cooling_systems_stops_on_a_parameter_array", "space_cooling_systems", R"({"Zone":{}})",
     R"({"SpaceCoolSystem":[]})", R"({"Zone":{}})"},
    // lighting
    {"lighting_overlay_replaces_nested_objects_whole", "lighting",
     R"({"Lighting":{"efficacy":56,"bulbs":{"led":{"count":6}}}})",
     R"({"Lighting":{"bulbs":{"cfl":{"count":2}}}})",
     R"({"Lighting":{"efficacy":56,"bulbs":{"cfl":{"count":2}}}})"},
    {"lighting_is_copied_when_missing", "lighting", R"({})", R"({"Lighting":{"efficacy":80}})",
     R"({"Lighting":{"efficacy":80}})"},
    {"lighting_leaves_a_model_number", "lighting", R"({"Lighting":40})",
     R"({"Lighting":{"efficacy":80}})", R"({"Lighting":40})"},
    {"lighting_absent_changes_nothing", "lighting", R"({"Lighting":40})", R"({})",
     R"({"Lighting":40})"},
    // compliance_settings
    {"compliance_settings_replaces_named_sections", "compliance_settings",
     R"({"General":{"build_type":"house","storeys_in_building":2},"Zone":{"a":{}}})",
     R"({"General":{"build_type":"flat"}})",
     R"({"General":{"build_type":"flat"},"Zone":{"a":{}}})"},
    {"compliance_settings_ignores_a_non_object_document", "compliance_settings",
     R"({"General":{}})", R"([{"General":1}])", R"({"General":{}})"},
};

INSTANTIATE_TEST_SUITE_P(Rules, SystemParameterMerge, testing::ValuesIn(kMergeCases),
                         [](const testing::TestParamInfo<MergeCase>& info) {
                           return info.param.name;
                         });

const char* const kModel =
    R"({"InfiltrationVentilation":{"altitude":30,"Leaks":{"test_result":5},
        "MechanicalVentilation":{"mvhr":{}}},"Lighting":{"efficacy":56},"Tariff":{"a":1},
        "Zone":{"a":{"BuildingElement":{"w":{"type":"BuildingElementOpaque","pitch":90}}}}})";

// Everything any rule reads, so that a rule that ran would leave a trace.
const char* const kEverything =
    R"({"InfiltrationVentilation":{"altitude":1,"Leaks":{"test_result":1},
        "MechanicalVentilation":{"u":{"SFP":1}}},"SpaceHeatSystem":{"main":{"x":1}},
        "Control":{"HotWaterMin":{}},"HotWaterSource":{},"Tariff":{"b":2},"InternalGains":{},
        "Events":{"e":{}},"OnSiteGeneration":{"p":{}},"EnergySupply":{"s":{}},
        "HeatSourceWet":{"h":{}},"SpaceCoolSystem":{"c":{}},"Lighting":{"efficacy":1},
        "wall":{"u_value":0.1}})";

TEST(SystemParameterMergeKeys, UnknownOrMiscasedKeysChangeNothing) {
  const std::vector<std::string> keys = {"Location",           "LIGHTING", "Simplified_Fabric", "",
                                         "simplified_fabric ", "windows",  "heat-source-wet"};
  for (const std::string& key : keys) {
    Json model = parse(kModel);
    EXPECT_TRUE(apply_system_parameter(model, key, parse(kEverything)).has_value()) << key;
    EXPECT_TRUE(apply_system_parameter(model, key, parse("[1]")).has_value()) << key;
    EXPECT_EQ(model, parse(kModel)) << key;
  }
}

TEST(SystemParameterMergeKeys, ModelThatIsNoObjectIsNeverChanged) {
  // Every key that some merge case shows changing an object model.
  std::set<std::string> keys;
  for (const MergeCase& row : kMergeCases) keys.insert(row.key);
  ASSERT_GE(keys.size(), 16u);
  const std::vector<std::string> models = {"null", "[1,2]", "7", "\"dwelling\"", "false"};
  for (const std::string& key : keys) {
    for (const std::string& text : models) {
      Json model = parse(text);
      EXPECT_TRUE(apply_system_parameter(model, key, parse(kEverything)).has_value()) << key;
      EXPECT_EQ(model, parse(text)) << key << " on " << text;
      EXPECT_EQ(model.type(), parse(text).type()) << key << " on " << text;
    }
  }
}

TEST(SystemParameterMergeKeys, SimplifiedFabricThatIsNoObjectFailsAndChangesNothing) {
  struct Row {
    std::string parameter;
    std::string message;
  };
  const Row rows[] = {
      {"[1]", "invalid type: sequence, expected a map"},
      {"null", "invalid type: unit value, expected a map"},
      {"\"wall\"", "invalid type: string \"wall\", expected a map"},
  };
  for (const Row& row : rows) {
    for (const char* text : {kModel, "{}", "null"}) {
      Json model = parse(text);
      auto result = apply_system_parameter(model, "simplified_fabric", parse(row.parameter));
      ASSERT_FALSE(result.has_value()) << row.parameter;
      EXPECT_EQ(result.error().message, row.message);
      EXPECT_EQ(model, parse(text));
    }
  }
}

}  // namespace
}  // namespace model_editing
