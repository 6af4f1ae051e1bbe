#pragma once

#include "json/json.h"

namespace model_editing {

using json_text::Json;

// When both are objects, sets every member of `source` in `target` to a deep copy of its value,
// replacing existing members whole (one level deep: nested objects are not merged). Otherwise
// does nothing.
void overlay_object(Json& target, const Json& source);

}  // namespace model_editing
