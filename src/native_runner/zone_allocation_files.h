#pragma once

#include <filesystem>

#include "common/error.h"
#include "json/json.h"
#include "native_runner/files.h"
#include "native_runner/parsed_files.h"

namespace native_runner {

// Applies a group's "zone_allocations" to the variant in model_editing::list_zone_allocations
// order, reading each allocation file from its folder under the base-parameter directory just
// before it applies. Files are read without an existence test: a missing or malformed one, and
// a "simplified_fabric" file that is not an object, return the error that ends the batch.
common::Result<void> apply_zone_allocations(json_text::Json& variant,
                                            const json_text::Json& zone_allocations,
                                            const std::filesystem::path& base_params_dir,
                                            const Files& files);

// The same, with each allocation file taken from `parsed`: every combination of a group reads
// the same few files.
common::Result<void> apply_zone_allocations(json_text::Json& variant,
                                            const json_text::Json& zone_allocations,
                                            const std::filesystem::path& base_params_dir,
                                            ParsedFiles& parsed);

}  // namespace native_runner
