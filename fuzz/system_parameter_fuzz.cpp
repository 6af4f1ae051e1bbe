// A fuzzed model and parameter document under every parameter key and one the merge does not
// know. Only "simplified_fabric" may fail, and only for a parameter that is not an object. The
// merged model then goes through the finishing rules that the key triggers, as in a batch.
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "model_editing/system_parameter.h"
#include "model_editing/variant_finishing.h"

namespace {

constexpr std::string_view kKeys[] = {
    "location",
    "airtightness",
    "space_heat_emitters",
    "controls",
    "hot_water_source",
    "tariff",
    "internal_gains",
    "events",
    "solar_systems",
    "battery_systems",
    "mechanical_ventilation_unit",
    "simplified_fabric",
    "heat_source_wet",
    "space_cooling_systems",
    "lighting",
    "compliance_settings",
    "model_wrappers",  // a parameter list of its own, without a merge rule
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  const auto documents = split_documents(as_text(data, size), 2);
  const auto model = json_text::parse_json(documents[0]);
  const auto parameter = json_text::parse_json(documents[1]);
  if (!model || !parameter) return 0;

  for (const std::string_view key : kKeys) {
    Json merged = *model;
    const auto applied = model_editing::apply_system_parameter(merged, key, *parameter);
    if (key == "simplified_fabric") {
      require(applied.has_value() == parameter->is_object(),
              "simplified_fabric fails exactly for a parameter that is not an object");
    } else {
      require(applied.has_value(), "only simplified_fabric can fail");
    }
    if (!applied || key == "model_wrappers") {
      require(merged == *model, "a failed or unknown merge leaves the model alone");
    }
    if (!model->is_object()) require(merged == *model, "a model that is not an object stays");
    require_writable(merged, "system merge leaves a writable model");
    if (!applied) continue;
    model_editing::finish_variant(merged, {std::string(key)});
    require_writable(merged, "finishing leaves a writable model");
  }
  return 0;
}
