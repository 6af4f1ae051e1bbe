#include "model_editing/variant_finishing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace model_editing {
namespace {

using json_text::Json;

const char* const kThreeZones = R"({
  "Zone": {
    "lounge": {"SpaceHeatControl": "old", "SpaceCoolSystem": "keep"},
    "kitchen": {
      "BuildingElement": {
        "wall": {"type": "BuildingElementOpaque"},
        "door": {"type": "BuildingElementOpaque", "is_external_door": "TRUE"},
        "window": {"type": "BuildingElementTransparent"},
        "odd": "not an object"
      }
    },
    "Bedroom": {"SpaceHeatControl": "allocated"}
  },
  "SpaceCoolSystem": {"cool_b": {}, "cool_a": {}}
})";

TEST(VariantFinishing, RulesFollowTheAppliedKeys) {
  const struct {
    const char* name;
    std::vector<std::string> keys;
    const char* expected;
  } cases[] = {
      {"neither rule", {"tariff", "space_cooling_system"}, kThreeZones},
      {"rule A: upper-case zone sorts first",
       {"compliance_settings"},
       R"({
         "Zone": {
           "lounge": {"SpaceHeatControl": "old", "SpaceCoolSystem": "keep"},
           "kitchen": {
             "SpaceHeatControl": "restofdwelling",
             "BuildingElement": {
               "wall": {"type": "BuildingElementOpaque", "is_external_door": false},
               "door": {"type": "BuildingElementOpaque", "is_external_door": "TRUE"},
               "window": {"type": "BuildingElementTransparent"},
               "odd": "not an object"
             }
           },
           "Bedroom": {"SpaceHeatControl": "livingroom"}
         },
         "SpaceCoolSystem": {"cool_b": {}, "cool_a": {}}
       })"},
      {"rule B: two systems, three zones",
       {"space_cooling_systems"},
       R"({
         "Zone": {
           "lounge": {"SpaceHeatControl": "old", "SpaceCoolSystem": "keep"},
           "kitchen": {
             "SpaceCoolSystem": "cool_b",
             "BuildingElement": {
               "wall": {"type": "BuildingElementOpaque"},
               "door": {"type": "BuildingElementOpaque", "is_external_door": "TRUE"},
               "window": {"type": "BuildingElementTransparent"},
               "odd": "not an object"
             }
           },
           "Bedroom": {"SpaceHeatControl": "allocated", "SpaceCoolSystem": "cool_a"}
         },
         "SpaceCoolSystem": {"cool_b": {}, "cool_a": {}}
       })"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Json variant = Json::parse(kThreeZones);
    finish_variant(variant, c.keys);
    EXPECT_EQ(variant, Json::parse(c.expected));
  }
}

TEST(VariantFinishing, ModelWrappersTriggersRuleABeforeRuleB) {
  Json variant = Json::parse(R"({
    "Zone": {"a": {}, "b": 7},
    "SpaceCoolSystem": {"c1": {}, "c2": {}, "c3": {}}
  })");
  finish_variant(variant, {"space_cooling_systems", "model_wrappers"});
  EXPECT_EQ(variant, Json::parse(R"({
    "Zone": {"a": {"SpaceHeatControl": "livingroom", "SpaceCoolSystem": "c1"}, "b": 7},
    "SpaceCoolSystem": {"c1": {}, "c2": {}, "c3": {}}
  })"));
}

TEST(VariantFinishing, MissingOrOddSectionsChangeNothing) {
  const std::vector<std::string> cooling = {"space_cooling_systems"};
  const std::vector<std::string> both = {"compliance_settings", "space_cooling_systems"};
  const struct {
    const char* variant;
    const std::vector<std::string>& keys;
  } cases[] = {
      {R"({"Zone": {"a": {}}, "SpaceCoolSystem": {}})", cooling},
      {R"({"Zone": {"a": {}}, "SpaceCoolSystem": ["c1"]})", cooling},
      {R"({"Zone": {"a": {}}})", cooling},
      {R"({"Zone": ["a"], "SpaceCoolSystem": {"c1": {}}})", both},
      {R"({"SpaceCoolSystem": {"c1": {}}})", both},
      {R"([1, 2])", both},
      {R"(null)", both},
  };
  for (const auto& c : cases) {
    Json variant = Json::parse(c.variant);
    finish_variant(variant, c.keys);
    EXPECT_EQ(variant, Json::parse(c.variant)) << c.variant;
  }
}

}  // namespace
}  // namespace model_editing
