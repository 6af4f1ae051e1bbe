#pragma once

#include <string_view>

#include "common/error.h"
#include "json/json.h"

namespace model_editing {

using json_text::Json;

// Applies one parameter document to the model under the rule selected by `key` (one of the
// sixteen parameter keys, compared exactly). Unknown keys change nothing. Only
// "simplified_fabric" can fail, with the fabric set's type error, leaving the model untouched.
common::Result<void> apply_system_parameter(Json& model, std::string_view key,
                                            const Json& parameter);

}  // namespace model_editing
