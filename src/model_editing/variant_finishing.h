#pragma once

#include <string>
#include <vector>

#include "json/json.h"

namespace model_editing {

// Rule A (when "compliance_settings" or "model_wrappers" was applied): heating control labels
// for the first two zones and "is_external_door": false on opaque elements lacking it.
// Rule B (when "space_cooling_systems" was applied): hands the cooling system names out to the
// zones in order. A runs before B. Cannot fail.
void finish_variant(json_text::Json& variant, const std::vector<std::string>& applied_keys);

}  // namespace model_editing
