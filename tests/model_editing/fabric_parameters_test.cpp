#include "model_editing/fabric_parameters.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace model_editing {
namespace {

FabricParameterSet make_set(const char* text) {
  auto set = build_fabric_parameter_set(Json::parse(text));
  EXPECT_TRUE(set.has_value()) << text;
  return set.value_or(FabricParameterSet{});
}

Json zone_with_element(const char* element) {
  Json zone = Json::object();
  zone["BuildingElement"]["e"] = Json::parse(element);
  return zone;
}

TEST(BuildFabricParameterSetTest, RejectsValuesThatAreNotObjects) {
  const struct {
    const char* value;
    const char* message;
  } rows[] = {
      {"[1, 2]", "invalid type: sequence, expected a map"},
      {"null", "invalid type: unit value, expected a map"},
      {"5", "invalid type: integer `5`, expected a map"},
  };
  for (const auto& row : rows) {
    const auto set = build_fabric_parameter_set(Json::parse(row.value));
    ASSERT_FALSE(set.has_value()) << row.value;
    EXPECT_EQ(set.error().message, row.message);
  }
}

TEST(BuildFabricParameterSetTest, KeepsOnlyObjectMembers) {
  const FabricParameterSet set =
      make_set(R"({"wall": 5, "roof": {"u_value": 0.1}, "door": [], "notes": {"a": 1}})");
  EXPECT_EQ(set.find("wall"), nullptr);
  EXPECT_EQ(set.find("door"), nullptr);
  EXPECT_EQ(set.find("Roof"), nullptr);
  ASSERT_NE(set.find("roof"), nullptr);
  EXPECT_EQ(*set.find("roof"), Json::parse(R"({"u_value": 0.1})"));
  ASSERT_NE(set.find("notes"), nullptr);
  EXPECT_TRUE(make_set("{}").empty());
}

struct ElementMergeRow {
  const char* name;
  const char* set;
  const char* element;
  const char* expected;
};

const ElementMergeRow kElementMergeRows[] = {
    {"u_value replaces r_c", R"({"wall": {"u_value": 0.3}})",
     R"({"type": "BuildingElementOpaque", "pitch": 90, "r_c": 1, "u_value": 2, "area": 5})",
     R"({"type": "BuildingElementOpaque", "pitch": 90, "u_value": 0.3, "area": 5})"},
    {"r_c only leaves no u_value", R"({"roof": {"r_c": 4.5}})",
     R"({"type": "BuildingElementOpaque", "pitch": 30, "u_value": 2})",
     R"({"type": "BuildingElementOpaque", "pitch": 30, "r_c": 4.5})"},
    {"neither removes both", R"({"window": {"g_value": 0.6}})",
     R"({"type": "BuildingElementTransparent", "r_c": 1, "u_value": 2})",
     R"({"type": "BuildingElementTransparent", "g_value": 0.6})"},
    {"door without door member stays", R"({"wall": {"u_value": 0.3}})",
     R"({"type": "BuildingElementOpaque", "pitch": 90, "is_external_door": "TRUE", "u_value": 2})",
     R"({"type": "BuildingElementOpaque", "pitch": 90, "is_external_door": "TRUE", "u_value": 2})"},
    {"door takes door members", R"({"wall": {"u_value": 0.3}, "door": {"u_value": 1.4}})",
     R"({"type": "BuildingElementOpaque", "pitch": 90, "is_external_door": "TRUE", "u_value": 2})",
     R"({"type": "BuildingElementOpaque", "pitch": 90, "is_external_door": "TRUE", "u_value": 1.4})"},
    {"nested member replaced whole", R"({"ground": {"edge": {"depth": 1}}})",
     R"({"type": "BuildingElementGround", "edge": {"depth": 2, "width": 3}})",
     R"({"type": "BuildingElementGround", "edge": {"depth": 1}})"},
    {"party wall", R"({"party_wall": {"u_value": 0.2}})",
     R"({"type": "BuildingElementAdjacentUnconditionedSpace_Simple", "r_c": 1})",
     R"({"type": "BuildingElementAdjacentUnconditionedSpace_Simple", "u_value": 0.2})"},
    {"unclassified keeps u_value", R"({"wall": {"u_value": 0.3}})",
     R"({"type": "BuildingElementOpaque", "pitch": 90.0, "u_value": 2})",
     R"({"type": "BuildingElementOpaque", "pitch": 90.0, "u_value": 2})"},
    {"dropped non-object category", R"({"wall": 5, "roof": {"u_value": 0.1}})",
     R"({"type": "BuildingElementOpaque", "pitch": 90, "u_value": 2})",
     R"({"type": "BuildingElementOpaque", "pitch": 90, "u_value": 2})"},
};

TEST(ApplyFabricParametersTest, MergesBuildingElementsByCategory) {
  for (const auto& row : kElementMergeRows) {
    Json zone = zone_with_element(row.element);
    apply_fabric_parameters(zone, make_set(row.set), ThermalBridgeRule::Independent);
    EXPECT_EQ(zone["BuildingElement"]["e"], Json::parse(row.expected)) << row.name;
  }
}

TEST(ApplyFabricParametersTest, LeavesZonesWithoutElementObjectsAlone) {
  const FabricParameterSet set = make_set(R"({"wall": {"u_value": 0.3}})");
  for (const char* text : {R"({})", R"({"BuildingElement": [1]})", R"([{"pitch": 90}])", "3"}) {
    Json zone = Json::parse(text);
    apply_fabric_parameters(zone, set, ThermalBridgeRule::Independent);
    EXPECT_EQ(zone, Json::parse(text)) << text;
  }
}

const char* const kBridges = R"({
  "a": {"type": "ThermalBridgeLinear", "linear_thermal_transmittance": 0.1, "length": 3},
  "b": {"type": "ThermalBridgePoint", "heat_transfer_coeff": 0.2},
  "c": {"type": "ThermalBridgeOther", "linear_thermal_transmittance": 0.1},
  "d": {"linear_thermal_transmittance": 0.1}
})";

struct BridgeRow {
  const char* name;
  ThermalBridgeRule rule;
  const char* parameters;
  const char* linear;  // expected bridge "a"
  const char* point;   // expected bridge "b"
};

constexpr const char* kLinearBefore =
    R"({"type": "ThermalBridgeLinear", "linear_thermal_transmittance": 0.1, "length": 3})";
constexpr const char* kLinearAfter =
    R"({"type": "ThermalBridgeLinear", "linear_thermal_transmittance": 0.5, "length": 3})";
constexpr const char* kPointBefore =
    R"({"type": "ThermalBridgePoint", "heat_transfer_coeff": 0.2})";
constexpr const char* kPointAfter = R"({"type": "ThermalBridgePoint", "heat_transfer_coeff": 0.9})";

const BridgeRow kBridgeRows[] = {
    {"independent linear only", ThermalBridgeRule::Independent,
     R"({"TB_linear": {"linear_thermal_transmittance": 0.5}})", kLinearAfter, kPointBefore},
    {"independent point only", ThermalBridgeRule::Independent,
     R"({"TB_point": {"heat_transfer_coeff": 0.9}})", kLinearBefore, kPointAfter},
    {"require both, linear only", ThermalBridgeRule::RequireBoth,
     R"({"TB_linear": {"linear_thermal_transmittance": 0.5}})", kLinearBefore, kPointBefore},
    {"require both, point a number", ThermalBridgeRule::RequireBoth,
     R"({"TB_linear": {"linear_thermal_transmittance": 0.5}, "TB_point": 3})", kLinearAfter,
     kPointBefore},
    {"require both, both present", ThermalBridgeRule::RequireBoth,
     R"({"TB_linear": {"linear_thermal_transmittance": 0.5},
         "TB_point": {"heat_transfer_coeff": 0.9}})",
     kLinearAfter, kPointAfter},
};

TEST(ApplyFabricParametersTest, MergesThermalBridgesByRule) {
  for (const auto& row : kBridgeRows) {
    Json zone = Json::object();
    zone["ThermalBridging"] = Json::parse(kBridges);
    FabricParameterSet set;
    set.insert("ThermalBridging", Json::parse(row.parameters));
    apply_fabric_parameters(zone, set, row.rule);

    Json expected = Json::parse(kBridges);
    expected["a"] = Json::parse(row.linear);
    expected["b"] = Json::parse(row.point);
    EXPECT_EQ(zone["ThermalBridging"], expected) << row.name;
  }
}

const char* const kModel = R"({
  "Zone": {
    "z1": {"BuildingElement": {"w": {"type": "BuildingElementOpaque", "pitch": 90, "u_value": 2}}},
    "z2": {"BuildingElement": {"w": {"type": "BuildingElementOpaque", "pitch": 90, "r_c": 2}}},
    "z3": "not a zone"
  },
  "Other": 1
})";

struct OutcomeRow {
  const char* name;
  const char* model;
  std::optional<std::string> zone_name;
  FabricApplyOutcome outcome;
  const char* changed_zones;  // zones expected to carry the new u_value, as a JSON array
};

const OutcomeRow kOutcomeRows[] = {
    {"no Zone, global", R"({"Other": 1})", std::nullopt, FabricApplyOutcome::NoZoneObject, "[]"},
    {"no Zone, named", R"({"Other": 1})", "z1", FabricApplyOutcome::NoZoneObject, "[]"},
    {"Zone not an object", R"({"Zone": []})", std::nullopt, FabricApplyOutcome::NoZoneObject, "[]"},
    {"model an array", R"([{"Zone": {}}])", std::nullopt, FabricApplyOutcome::NoZoneObject, "[]"},
    {"empty Zone, global", R"({"Zone": {}})", std::nullopt, FabricApplyOutcome::Applied, "[]"},
    {"unknown zone", kModel, "z9", FabricApplyOutcome::ZoneNotFound, "[]"},
    {"empty zone name", kModel, "", FabricApplyOutcome::ZoneNotFound, "[]"},
    {"zone name case differs", kModel, "Z1", FabricApplyOutcome::ZoneNotFound, "[]"},
    {"named zone", kModel, "z2", FabricApplyOutcome::Applied, R"(["z2"])"},
    {"named zone not an object", kModel, "z3", FabricApplyOutcome::Applied, "[]"},
    {"global", kModel, std::nullopt, FabricApplyOutcome::Applied, R"(["z1", "z2"])"},
};

TEST(ApplyFabricToModelTest, ReportsOutcomeAndChangesOnlyTheChosenZones) {
  const FabricParameterSet set = make_set(R"({"wall": {"u_value": 0.3}})");
  const Json updated_wall =
      Json::parse(R"({"type": "BuildingElementOpaque", "pitch": 90, "u_value": 0.3})");
  for (const auto& row : kOutcomeRows) {
    Json model = Json::parse(row.model);
    Json expected = model;
    for (const auto& zone : Json::parse(row.changed_zones)) {
      expected["Zone"][zone.get<std::string>()]["BuildingElement"]["w"] = updated_wall;
    }
    const auto zone_name =
        row.zone_name ? std::optional<std::string_view>(*row.zone_name) : std::nullopt;
    EXPECT_EQ(apply_fabric_to_model(model, set, zone_name, ThermalBridgeRule::Independent),
              row.outcome)
        << row.name;
    EXPECT_EQ(model, expected) << row.name;
  }
}

}  // namespace
}  // namespace model_editing
