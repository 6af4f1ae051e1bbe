#include "model_editing/fabric_category.h"

#include <gtest/gtest.h>

#include "json/json_reader.h"

namespace model_editing {
namespace {

struct ClassificationRow {
  const char* element;
  const char* category;  // "" for none
};

const ClassificationRow kClassificationRows[] = {
    {R"({"type": "BuildingElementOpaque", "pitch": 90})", "wall"},
    {R"({"type": "BuildingElementOpaque", "pitch": 90, "is_external_door": "TRUE"})", "door"},
    {R"({"type": "BuildingElementOpaque", "pitch": 90, "is_external_door": true})", "wall"},
    {R"({"type": "BuildingElementOpaque", "pitch": 90, "is_external_door": "true"})", "wall"},
    {R"({"type": "BuildingElementOpaque", "pitch": 90.0})", ""},
    {R"({"type": "BuildingElementOpaque", "pitch": "90"})", ""},
    {R"({"type": "BuildingElementOpaque", "pitch": 59})", "roof"},
    {R"({"type": "BuildingElementOpaque", "pitch": 0})", "roof"},
    {R"({"type": "BuildingElementOpaque", "pitch": -5})", "roof"},
    {R"({"type": "BuildingElementOpaque", "pitch": -0})", "roof"},
    {R"({"type": "BuildingElementOpaque", "pitch": 0e0})", ""},
    {R"({"type": "BuildingElementOpaque", "pitch": 30, "is_external_door": "TRUE"})", "roof"},
    {R"({"type": "BuildingElementOpaque", "pitch": 45.5})", ""},
    {R"({"type": "BuildingElementOpaque", "pitch": 60})", ""},
    {R"({"type": "BuildingElementOpaque", "pitch": 89})", ""},
    {R"({"type": "BuildingElementOpaque", "pitch": 91})", ""},
    {R"({"type": "BuildingElementOpaque", "pitch": 180})", ""},
    {R"({"type": "BuildingElementOpaque", "pitch": 18446744073709551615})", ""},
    {R"({"type": "BuildingElementOpaque", "pitch": -9223372036854775808})", "roof"},
    {R"({"type": "BuildingElementOpaque"})", ""},
    {R"({"type": "BuildingElementTransparent", "pitch": 90})", "window"},
    {R"({"type": "BuildingElementTransparent"})", "window"},
    {R"({"type": "BuildingElementGround", "pitch": 90, "is_external_door": "TRUE"})", "ground"},
    {R"({"type": "BuildingElementAdjacentConditionedSpace", "pitch": 90})", "party_wall"},
    {R"({"type": "BuildingElementAdjacentUnconditionedSpace_Simple"})", "party_wall"},
    {R"({"type": "BuildingElementAdjacentUnconditionedSpace"})", ""},
    {R"({"type": "buildingelementopaque", "pitch": 90})", ""},
    {R"({"pitch": 90})", ""},
    {R"({"type": ["BuildingElementOpaque"], "pitch": 90})", ""},
    {R"("BuildingElementOpaque")", ""},
};

TEST(FabricCategoryTest, ClassifiesEveryRow) {
  for (const auto& row : kClassificationRows) {
    const auto element = json_text::parse_json(row.element);
    ASSERT_TRUE(element.has_value()) << row.element;
    const auto category = classify_building_element(*element);
    EXPECT_EQ(category.value_or(""), row.category) << row.element;
  }
}

}  // namespace
}  // namespace model_editing
