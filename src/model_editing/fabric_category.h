#pragma once

#include <optional>
#include <string_view>

#include "json/json.h"

namespace model_editing {

using json_text::Json;

// The fabric category ("wall", "door", "roof", "window", "ground" or "party_wall") whose members
// a building element takes, or nullopt when the element belongs to none and stays unchanged.
std::optional<std::string_view> classify_building_element(const Json& element);

}  // namespace model_editing
