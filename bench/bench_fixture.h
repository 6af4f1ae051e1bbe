#pragma once

#include <filesystem>
#include <string>

#include "json/json.h"

// Inputs shared by the micro-benchmarks, built once per process.
namespace bench {

// A generated workspace (realistic model, default lists, zone allocations) in a temporary
// directory that is removed when the process ends.
const std::filesystem::path& workspace_root();
std::filesystem::path base_params_dir();
std::filesystem::path base_model_path();

// The realistic model in its pretty form, and parsed.
const std::string& model_text();
const json_text::Json& model();

// A parameter file of the generated workspace, parsed.
json_text::Json parameter_document(const std::string& key, const std::string& value);

}  // namespace bench
