#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "json/json_file.h"
#include "json/json_reader.h"
#include "json/json_writer.h"
#include "model_editing/system_parameter.h"

namespace model_editing {
namespace {

const std::filesystem::path kData = TEST_DATA_DIR;

Json read_data(const std::filesystem::path& relative) {
  auto document = json_text::read_json_file(kData / relative);
  EXPECT_TRUE(document.has_value()) << relative;
  return document.value_or(Json());
}

// A batch applies one combination's parameters in key order to the same variant, so later keys
// see what earlier ones wrote ("controls" before "heat_source_wet", which re-links the controls).
TEST(SystemParameterScenario, TwoZoneDwellingTakesAWholeCombination) {
  struct Parameter {
    std::string key;
    std::string value;
  };
  const Parameter combination[] = {
      {"airtightness", "tight"},
      {"battery_systems", "battery_10kwh"},
      {"controls", "hot_water_55"},
      {"events", "evening_bath"},
      {"heat_source_wet", "heat_pump"},
      {"lighting", "led"},
      {"location", "exposed_hilltop"},
      {"mechanical_ventilation_unit", "mvhr_efficient"},
      {"simplified_fabric", "fabric_upgrade"},
      {"solar_systems", "pv_4kw"},
      {"space_heat_emitters", "large_radiators"},
      {"tariff", "economy_7"},
  };
  Json model = read_data("dwelling_two_zones.json");

  for (const Parameter& parameter : combination) {
    const Json document = read_data(std::filesystem::path("parameters") / parameter.key /
                                    (parameter.value + ".json"));
    ASSERT_TRUE(apply_system_parameter(model, parameter.key, document).has_value())
        << parameter.key;
  }

  EXPECT_EQ(model, read_data("dwelling_two_zones_expected.json"));
  auto expected_text = json_text::read_text_file(kData / "dwelling_two_zones_expected.json");
  ASSERT_TRUE(expected_text.has_value());
  EXPECT_EQ(json_text::to_pretty_json(model), *expected_text);
}

}  // namespace
}  // namespace model_editing
