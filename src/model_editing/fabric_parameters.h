#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "common/error.h"
#include "json/json.h"

namespace model_editing {

using json_text::Json;

// Fabric category name ("wall", "door", "roof", "window", "ground", "party_wall",
// "ThermalBridging") to the object of members written into matching elements or bridges.
// Read-only once built; every value written into a model is a deep copy taken from it.
class FabricParameterSet {
 public:
  // The object stored under `name` (exact, case-sensitive), or nullptr.
  const Json* find(std::string_view name) const;

  void insert(std::string name, Json object);
  bool empty() const { return members_.empty(); }

 private:
  std::map<std::string, Json, std::less<>> members_;
};

// How thermal bridges are merged: `Independent` applies "TB_linear" and "TB_point" each when
// present; `RequireBoth` changes no bridge unless both are present.
enum class ThermalBridgeRule { Independent, RequireBoth };

enum class FabricApplyOutcome { NoZoneObject, ZoneNotFound, Applied };

// Keeps the members of `value` whose value is an object. Fails with
// "invalid type: {found}, expected a map" when `value` is not an object.
common::Result<FabricParameterSet> build_fabric_parameter_set(Json value);

// Merges the set into one zone object: building elements by fabric category, then thermal
// bridges by `rule`. Cannot fail; anything that does not fit is left unchanged.
void apply_fabric_parameters(Json& zone, const FabricParameterSet& set, ThermalBridgeRule rule);

// Applies the set to the zone named `zone_name`, or to every zone when no name is given (an
// empty name is looked up like any other).
FabricApplyOutcome apply_fabric_to_model(Json& model, const FabricParameterSet& set,
                                         std::optional<std::string_view> zone_name,
                                         ThermalBridgeRule rule);

}  // namespace model_editing
