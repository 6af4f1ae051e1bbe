#include "model_editing/object_overlay.h"

#include <gtest/gtest.h>

namespace model_editing {
namespace {

struct OverlayRow {
  const char* target;
  const char* source;
  const char* expected;
};

const OverlayRow kOverlayRows[] = {
    {R"({"a": 1, "b": 2})", R"({"b": 3, "c": [4]})", R"({"a": 1, "b": 3, "c": [4]})"},
    {R"({"n": {"x": 1, "y": 2}})", R"({"n": {"x": 5}})", R"({"n": {"x": 5}})"},
    {R"({"n": {"x": 1}})", R"({"n": null})", R"({"n": null})"},
    {R"({"a": 1})", R"({})", R"({"a": 1})"},
    {R"({"a": 1})", R"([1, 2])", R"({"a": 1})"},
    {R"([1])", R"({"a": 1})", R"([1])"},
    {R"(7)", R"({"a": 1})", R"(7)"},
};

TEST(ObjectOverlayTest, OverlaysOneLevelDeepOnlyBetweenObjects) {
  for (const auto& row : kOverlayRows) {
    Json target = Json::parse(row.target);
    overlay_object(target, Json::parse(row.source));
    EXPECT_EQ(target, Json::parse(row.expected)) << row.target << " + " << row.source;
  }
}

TEST(ObjectOverlayTest, WritesCopiesThatLaterChangesToTheSourceDoNotReach) {
  Json target = Json::object();
  Json source = Json::parse(R"({"n": {"x": 1}})");
  overlay_object(target, source);
  source["n"]["x"] = 2;
  EXPECT_EQ(target, Json::parse(R"({"n": {"x": 1}})"));
}

}  // namespace
}  // namespace model_editing
