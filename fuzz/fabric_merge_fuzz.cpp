// A fuzzed model and a fuzzed fabric parameter document through both thermal bridge rules, in
// global mode and in zone mode.
#include <optional>

#include "fuzz_support.h"
#include "model_editing/fabric_parameters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  using model_editing::ThermalBridgeRule;
  // model NUL fabric parameters NUL zone name
  const auto documents = split_documents(as_text(data, size), 3);
  const auto model = json_text::parse_json(documents[0]);
  const auto fabric = json_text::parse_json(documents[1]);
  if (!model || !fabric) return 0;

  auto set = model_editing::build_fabric_parameter_set(*fabric);
  require(set.has_value() == fabric->is_object(), "only an object builds a fabric set");
  if (!set) {
    require(set.error().message == json_text::describe_invalid_type(*fabric),
            "a refused fabric document gets the type error", set.error().message);
    return 0;
  }
  const std::optional<std::string_view> zones[] = {std::nullopt, documents[2]};
  for (const auto rule : {ThermalBridgeRule::Independent, ThermalBridgeRule::RequireBoth}) {
    for (const auto& zone : zones) {
      Json merged = *model;
      const auto outcome = model_editing::apply_fabric_to_model(merged, *set, zone, rule);
      if (outcome != model_editing::FabricApplyOutcome::Applied) {
        require(merged == *model, "a merge that applies nowhere leaves the model alone");
      }
      require_writable(merged, "fabric merge leaves a writable model");
      // The zone-level merge on its own, as zone allocations call it, on any kind of value.
      Json zone_value = *model;
      model_editing::apply_fabric_parameters(zone_value, *set, rule);
    }
  }
  return 0;
}
