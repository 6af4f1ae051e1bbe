#include "native_runner/zone_allocation_files.h"

#include <gtest/gtest.h>

#include "model_editing/zone_allocation.h"
#include "support/os_errors.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

using json_text::Json;
using test_support::TempDir;

TEST(ZoneAllocationPrefix, SpacesBecomeUnderscoresAndZoneIsNotDoubled) {
  const struct {
    const char* zone;
    const char* prefix;
  } cases[] = {
      {"Living Room", "zone_Living_Room"}, {"zone_1", "zone_1"},  {"zone 2", "zone_2"},
      {"Zone_3", "zone_Zone_3"},           {"zone", "zone_zone"}, {"", "zone_"},
  };
  for (const auto& c : cases) EXPECT_EQ(model_editing::zone_prefix(c.zone), c.prefix) << c.zone;
}

class ZoneAllocationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.write("controls/std.json", R"({"Control": {
      "space_heating_setpoint": {"type": "SetpointTimeControl", "schedule": [21]},
      "heating_timer": {"type": "OnOffTimeControl"},
      "hot_water_timer": {"type": "OnOffTimeControl"}}})");
    dir_.write("space_heat_emitters/rads.json", R"({"SpaceHeatSystem": {
      "b_unused": {"type": "InstantElecHeater"},
      "a_template": {"type": "WetDistribution", "Control": "tpl", "Zone": "tpl",
                     "HeatSource": "tpl", "emitters": ["radiator"]}}})");
  }

  common::Result<void> apply(Json& variant, const char* allocations) {
    return apply_zone_allocations(variant, Json::parse(allocations), dir_.path(),
                                  system_files());
  }

  TempDir dir_;
};

TEST_F(ZoneAllocationTest, ControlThenEmittersKeepZoneHeatSourceAndNewControl) {
  Json variant = Json::parse(R"({
    "Control": {"existing": {}, "zone_Living_Room_heating_timer": "old"},
    "SpaceHeatSystem": {
      "hs1": {"Zone": "Living Room", "Control": "old", "HeatSource": {"name": "boiler"},
              "emitters": ["old"], "temp_flow_limit": 60},
      "hs2": {"Zone": "Living Room", "Control": "old"},
      "hs3": {"Zone": "Kitchen", "Control": "kitchen"},
      "hs4": "not an object"
    },
    "Zone": {"Living Room": {}, "Kitchen": {}}
  })");
  ASSERT_TRUE(apply(variant, R"({"Living Room": {
      "space_heat_emitters": "rads", "control": ["std", "ignored"]}})"));
  EXPECT_EQ(variant, Json::parse(R"({
    "Control": {
      "existing": {},
      "zone_Living_Room_heating_timer": {"type": "OnOffTimeControl"},
      "zone_Living_Room_space_heating_setpoint": {"type": "SetpointTimeControl", "schedule": [21]}
    },
    "SpaceHeatSystem": {
      "hs1": {"type": "WetDistribution", "emitters": ["radiator"], "Zone": "Living Room",
              "HeatSource": {"name": "boiler"},
              "Control": "zone_Living_Room_space_heating_setpoint"},
      "hs2": {"Zone": "Living Room", "Control": "zone_Living_Room_space_heating_setpoint"},
      "hs3": {"Zone": "Kitchen", "Control": "kitchen"},
      "hs4": "not an object"
    },
    "Zone": {"Living Room": {}, "Kitchen": {}}
  })"));
}

TEST_F(ZoneAllocationTest, ControlWithoutControlSectionStillPointsSystemsAtTheSetpoint) {
  Json variant = Json::parse(R"({
    "SpaceHeatSystem": {"hs": {"Zone": "zone_1"}, "other": {"Zone": ["zone_1"]}},
    "Zone": {"zone_1": {}}
  })");
  ASSERT_TRUE(apply(variant, R"({"zone_1": {"control": "std"}})"));
  EXPECT_EQ(variant, Json::parse(R"({
    "SpaceHeatSystem": {"hs": {"Zone": "zone_1", "Control": "zone_1_space_heating_setpoint"},
                        "other": {"Zone": ["zone_1"]}},
    "Zone": {"zone_1": {}}
  })"));
}

TEST_F(ZoneAllocationTest, EmitterTemplateReplacesOnlyTheFirstMatchingSystem) {
  Json variant = Json::parse(R"({
    "SpaceHeatSystem": {"b": {"Zone": "Hall", "x": 1}, "a": {"Zone": "Hall", "y": 2}},
    "Zone": {"Hall": {}}
  })");
  ASSERT_TRUE(apply(variant, R"({"Hall": {"space_heat_emitters": "rads"}})"));
  EXPECT_EQ(variant.at("SpaceHeatSystem"), Json::parse(R"({
    "a": {"type": "WetDistribution", "emitters": ["radiator"], "Zone": "Hall"},
    "b": {"Zone": "Hall", "x": 1}})"));
}

TEST_F(ZoneAllocationTest, AllocatedNameForms) {
  const struct {
    const char* value;
    Json expected;  // the zone's "SpaceCoolSystem", or null when the entry is skipped
  } cases[] = {
      {R"("cool1")", "cool1"}, {R"(["cool2", "cool3"])", "cool2"},
      {R"([])", nullptr},      {R"([3, "cool4"])", nullptr},
      {R"("")", nullptr},      {R"([""])", nullptr},
      {R"(5)", nullptr},       {R"({"name": "cool5"})", nullptr},
      {R"(null)", nullptr},
  };
  for (const auto& c : cases) {
    Json variant = Json::parse(R"({"Zone": {"Hall": {}}})");
    const Json allocations = {{"Hall", {{"space_cooling_system", Json::parse(c.value)}}}};
    ASSERT_TRUE(apply_zone_allocations(variant, allocations, dir_.path(), system_files()))
        << c.value;
    const Json& zone = variant.at("Zone").at("Hall");
    EXPECT_EQ(zone.contains("SpaceCoolSystem") ? zone.at("SpaceCoolSystem") : Json(nullptr),
              c.expected)
        << c.value;
  }
}

TEST_F(ZoneAllocationTest, NameAndFileAllocationsWriteIntoTheZone) {
  dir_.write("lighting/none.json", R"({"Lighting": null})");
  dir_.write("simplified_fabric/tight.json", R"({"wall": {"u_value": 0.3}, "notes": "x"})");
  Json variant = Json::parse(R"({"Zone": {
    "Hall": {"Lighting": {"bulbs": 3},
             "BuildingElement": {"w": {"type": "BuildingElementOpaque", "pitch": 90,
                                       "u_value": 2}}},
    "Loft": "not an object"}})");
  ASSERT_TRUE(apply(variant, R"({
    "Hall": {"lighting": "none", "simplified_fabric": "tight", "space_cooling_system": "ac",
             "space_heat_control": "livingroom", "unknown_key": "x"},
    "Loft": {"space_cooling_system": "ac", "lighting": "none"},
    "Missing": {"space_cooling_system": "ac", "space_heat_control": "x", "lighting": "none",
                "simplified_fabric": "tight"},
    "Skipped": ["not", "an", "object"]})"));
  EXPECT_EQ(variant, Json::parse(R"({"Zone": {
    "Hall": {"Lighting": null, "SpaceCoolSystem": "ac", "SpaceHeatControl": "livingroom",
             "BuildingElement": {"w": {"type": "BuildingElementOpaque", "pitch": 90,
                                       "u_value": 0.3}}},
    "Loft": "not an object"}})"));
}

TEST_F(ZoneAllocationTest, AllocationsThatAreNotObjectsChangeNothing) {
  for (const char* allocations : {"null", "[1]", R"("x")", "{}"}) {
    Json variant = Json::parse(R"({"Zone": {"Hall": {}}})");
    ASSERT_TRUE(apply(variant, allocations)) << allocations;
    EXPECT_EQ(variant, Json::parse(R"({"Zone": {"Hall": {}}})")) << allocations;
  }
}

TEST_F(ZoneAllocationTest, BadAllocationFilesEndTheRun) {
  dir_.write("controls/broken.json", "{");
  dir_.write("simplified_fabric/list.json", "[1]");
  const struct {
    const char* allocations;
    std::string message;
  } cases[] = {
      {R"({"Hall": {"control": "absent"}})", test_support::missing_file_error()},
      {R"({"Hall": {"lighting": "absent"}})", test_support::missing_folder_error()},
      {R"({"Hall": {"space_heat_emitters": "absent"}})", test_support::missing_file_error()},
      {R"({"Hall": {"control": "broken"}})", "EOF while parsing an object at line 1 column 2"},
      {R"({"Nowhere": {"simplified_fabric": "list"}})", "invalid type: sequence, expected a map"},
  };
  for (const auto& c : cases) {
    Json variant = Json::parse(R"({"Zone": {"Hall": {}}})");
    auto applied = apply(variant, c.allocations);
    ASSERT_FALSE(applied.has_value()) << c.allocations;
    EXPECT_EQ(applied.error().message, c.message);
  }
}

}  // namespace
}  // namespace native_runner
