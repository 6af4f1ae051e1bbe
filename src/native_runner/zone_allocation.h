#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/error.h"
#include "json/json.h"

namespace native_runner {

// "zone_" + the name with spaces turned into underscores, unless that already begins with "zone_".
std::string zone_prefix(std::string_view zone_name);

// Applies a group's "zone_allocations" to the variant, zones and allocation keys in byte-wise
// order. Allocation files are read without an existence test: a missing or malformed one, and a
// "simplified_fabric" file that is not an object, return the error that ends the batch.
common::Result<void> apply_zone_allocations(json_text::Json& variant,
                                            const json_text::Json& zone_allocations,
                                            const std::filesystem::path& base_params_dir);

}  // namespace native_runner
