#include "model_editing/fabric_category.h"

#include <cstdint>
#include <limits>
#include <string>

namespace model_editing {

namespace {

const std::string* string_member(const Json& object, std::string_view name) {
  const auto it = object.find(name);
  if (it == object.end() || !it->is_string()) return nullptr;
  return it->get_ptr<const std::string*>();
}

// Only integers count: 90.0 is written as a float and models use it for "not a real pitch".
// Unsigned integers beyond the signed range cannot be compared as pitches either.
std::optional<std::int64_t> pitch_of(const Json& element) {
  const auto it = element.find("pitch");
  if (it == element.end() || !it->is_number_integer()) return std::nullopt;
  if (it->is_number_unsigned()) {
    const auto value = it->get<std::uint64_t>();
    if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(value);
  }
  return it->get<std::int64_t>();
}

bool is_external_door(const Json& element) {
  const std::string* flag = string_member(element, "is_external_door");
  return flag != nullptr && *flag == "TRUE";
}

}  // namespace

std::optional<std::string_view> classify_building_element(const Json& element) {
  if (!element.is_object()) return std::nullopt;
  const std::string* type = string_member(element, "type");
  if (type == nullptr) return std::nullopt;
  const std::optional<std::int64_t> pitch = pitch_of(element);
  const bool opaque = *type == "BuildingElementOpaque";

  if (opaque && pitch == 90) return is_external_door(element) ? "door" : "wall";
  if (*type == "BuildingElementTransparent") return "window";
  if (opaque && pitch.has_value() && *pitch < 60) return "roof";
  if (*type == "BuildingElementGround") return "ground";
  if (*type == "BuildingElementAdjacentConditionedSpace" ||
      *type == "BuildingElementAdjacentUnconditionedSpace_Simple") {
    return "party_wall";
  }
  return std::nullopt;
}

}  // namespace model_editing
