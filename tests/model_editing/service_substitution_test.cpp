#include "model_editing/service_substitution.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "json/json_reader.h"

namespace model_editing {
namespace {

Json parse(std::string_view text) {
  auto parsed = json_text::parse_json(text);
  EXPECT_TRUE(parsed.has_value()) << text;
  return parsed.value_or(Json());
}

using Substitution = void (*)(Json&, const Json&);

struct SubstitutionCase {
  std::string name;
  Substitution substitute;
  std::string model;
  std::string parameter;
  std::string expected;
};

void PrintTo(const SubstitutionCase& row, std::ostream* out) { *out << row.name; }

class ServiceSubstitution : public testing::TestWithParam<SubstitutionCase> {};

TEST_P(ServiceSubstitution, GivesExpectedModel) {
  const SubstitutionCase& row = GetParam();
  Json model = parse(row.model);
  const Json parameter = parse(row.parameter);
  const Json parameter_before = parameter;

  row.substitute(model, parameter);

  EXPECT_EQ(model, parse(row.expected));
  EXPECT_EQ(parameter, parameter_before);
}

// The entry every hot-water source gets from substitute_wet_heat_source, for the name "hp".
#define WET_ENTRY_HP                                                   \
  R"({"type":"HeatSourceWet","name":"hp","temp_flow_limit_upper":65,)" \
  R"("EnergySupply":"mains elec","Controlmin":"HotWaterMin",)"         \
  R"("Controlmax":"HotWaterMax","heater_position":0.1,"thermostat_position":0.33})"

const SubstitutionCase kCases[] = {
    // install_hot_water_controls
    {"controls_copies_only_the_hot_water_controls", install_hot_water_controls,
     R"({"Control":{"heating_timer":{"old":1},"HotWaterMax":{"old":2}}})",
     R"({"Control":{"HotWaterMin":{"setpoint":52},"hot_water_timer":{"start":6},
         "heating_timer":{"new":1}}})",
     R"({"Control":{"heating_timer":{"old":1},"HotWaterMax":{"old":2},
         "HotWaterMin":{"setpoint":52},"hot_water_timer":{"start":6}}})"},
    {"controls_links_heat_sources_without_a_control_section", install_hot_water_controls,
     R"({"HotWaterSource":{"cyl":{"HeatSource":{"imm":{"Controlmin":"old"},"pv":"diverter",
         "sol":{"type":"Solar"}}},"combi":{"type":"Combi"},"odd":7}})",
     R"({"Control":{"HotWaterMin":{"setpoint":52}}})",
     R"({"HotWaterSource":{"cyl":{"HeatSource":{
         "imm":{"Controlmin":"HotWaterMin","Controlmax":"HotWaterMax"},"pv":"diverter",
         "sol":{"type":"Solar","Controlmin":"HotWaterMin","Controlmax":"HotWaterMax"}}},
         "combi":{"type":"Combi"},"odd":7}})"},
    {"controls_keeps_phase_one_without_hot_water_sources", install_hot_water_controls,
     R"({"Control":{},"HotWaterSource":[]})", R"({"Control":{"HotWaterMax":{"setpoint":60}}})",
     R"({"Control":{"HotWaterMax":{"setpoint":60}},"HotWaterSource":[]})"},
    // substitute_wet_heat_source
    {"wet_heat_source_rewrites_hot_water_heat_sources_to_one_entry", substitute_wet_heat_source,
     R"({"HotWaterSource":{"cyl":{"volume":200,"HeatSource":{"imm":{},"pv":"x","boiler":{}}}}})",
     R"({"HeatSourceWet":{"hp":{"type":"HeatPump"}}})",
     R"({"HeatSourceWet":{"hp":{"type":"HeatPump"}},
         "HotWaterSource":{"cyl":{"volume":200,"HeatSource":{"hp":)" WET_ENTRY_HP "}}}}"},
    {"wet_heat_source_repoints_heating_and_replaces_a_non_object_section",
     substitute_wet_heat_source,
     R"({"HeatSourceWet":"none","SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler",
         "temp_flow_limit_upper":60}},"direct":{"type":"InstantElecHeater"},"bad":3}})",
     R"({"HeatSourceWet":{"hp":{"type":"HeatPump"}}})",
     R"({"HeatSourceWet":{"hp":{"type":"HeatPump"}},"SpaceHeatSystem":{"main":{"HeatSource":{
         "name":"hp","temp_flow_limit_upper":60}},"direct":{"type":"InstantElecHeater"},"bad":3}})"},
    {"wet_heat_source_empty_keeps_the_models_sources", substitute_wet_heat_source,
     R"({"HeatSourceWet":{"boiler":{}},"SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler"}}}})",
     R"({"HeatSourceWet":{}})",
     R"({"HeatSourceWet":{"boiler":{}},"SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler"}}}})"},
    {"wet_heat_source_empty_ensures_an_empty_section", substitute_wet_heat_source,
     R"({"SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler"}}}})", R"({"HeatSourceWet":{}})",
     R"({"HeatSourceWet":{},"SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler"}}}})"},
    {"wet_heat_source_absent_changes_nothing", substitute_wet_heat_source,
     R"({"SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler"}}}})", R"({"Control":{}})",
     R"({"SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler"}}}})"},
    // substitute_ventilation_unit
    {"ventilation_keeps_first_unit_name_and_ductwork", substitute_ventilation_unit,
     R"({"InfiltrationVentilation":{"altitude":3,"MechanicalVentilation":{
         "b unit":{"SFP":2},"a unit":{"SFP":1.5,"ductwork":[{"length":5}]}}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"z":{"SFP":0.5},
         "offered":{"SFP":0.9,"ductwork":[{"length":1}],"vent_type":"MVHR"}}}})",
     R"({"InfiltrationVentilation":{"altitude":3,"MechanicalVentilation":{
         "a unit":{"SFP":0.9,"ductwork":[{"length":5}],"vent_type":"MVHR"}}}})"},
    {"ventilation_keeps_the_parameters_ductwork_when_the_model_has_none",
     substitute_ventilation_unit,
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":"legacy"}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"u":{"ductwork":null}}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":{"ductwork":null}}}})"},
    {"ventilation_drops_ductwork_when_the_parameter_unit_is_no_object", substitute_ventilation_unit,
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":{"ductwork":[1]},"x":{}}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"u":"centralised"}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":"centralised"}}})"},
    {"ventilation_empty_parameter_leaves_the_units", substitute_ventilation_unit,
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":{"SFP":1},"x":{}}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"mvhr":{"SFP":1},"x":{}}}})"},
    {"ventilation_empty_model_gets_no_unit", substitute_ventilation_unit,
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"u":{"SFP":1}}}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{}}})"},
    {"ventilation_is_not_created", substitute_ventilation_unit,
     R"({"InfiltrationVentilation":{"altitude":3}})",
     R"({"InfiltrationVentilation":{"MechanicalVentilation":{"u":{"SFP":1}}}})",
     R"({"InfiltrationVentilation":{"altitude":3}})"},
};

INSTANTIATE_TEST_SUITE_P(Rules, ServiceSubstitution, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SubstitutionCase>& info) {
                           return info.param.name;
                         });

TEST(WetHeatSourceSubstitution, ChoosesTheBytewiseFirstNameWhateverTheTextOrder) {
  for (const char* parameter : {R"({"HeatSourceWet":{"heat pump":{},"Air source":{}}})",
                                R"({"HeatSourceWet":{"Air source":{},"heat pump":{}}})"}) {
    Json model = parse(
        R"({"SpaceHeatSystem":{"main":{"HeatSource":{"name":"boiler"}}},
            "HotWaterSource":{"cyl":{"HeatSource":{"boiler":{}}}}})");
    substitute_wet_heat_source(model, parse(parameter));
    EXPECT_EQ(model["SpaceHeatSystem"]["main"]["HeatSource"]["name"], "Air source");
    const Json& heat_sources = model["HotWaterSource"]["cyl"]["HeatSource"];
    ASSERT_EQ(heat_sources.size(), 1u);
    EXPECT_EQ(heat_sources.begin().key(), "Air source");
    EXPECT_EQ(model["HeatSourceWet"], parse(R"({"heat pump":{},"Air source":{}})"));
  }
}

TEST(WetHeatSourceSubstitution, HotWaterEntryKeepsItsNumberKinds) {
  Json model = parse(R"({"HotWaterSource":{"cyl":{"HeatSource":{}}}})");
  substitute_wet_heat_source(model, parse(R"({"HeatSourceWet":{"hp":{}}})"));
  const Json& entry = model["HotWaterSource"]["cyl"]["HeatSource"]["hp"];
  EXPECT_EQ(entry.size(), 8u);
  EXPECT_TRUE(entry["temp_flow_limit_upper"].is_number_integer());
  EXPECT_TRUE(entry["heater_position"].is_number_float());
  EXPECT_TRUE(entry["thermostat_position"].is_number_float());
  EXPECT_EQ(entry, parse(WET_ENTRY_HP));
}

}  // namespace
}  // namespace model_editing
