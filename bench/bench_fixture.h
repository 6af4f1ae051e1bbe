#pragma once

#include <filesystem>
#include <string>

#include "model_editing/json.h"

// Inputs shared by the micro-benchmarks, built once per process.
namespace bench {

// A generated workspace (realistic model, default lists, zone allocations) in a temporary
// directory that is removed when the process ends.
const std::filesystem::path& workspace_root();
std::filesystem::path base_params_dir();
std::filesystem::path base_model_path();

// The realistic model in its pretty form, and parsed.
const std::string& model_text();
const model_editing::Json& model();

// A parameter file of the generated workspace, parsed.
model_editing::Json parameter_document(const std::string& key, const std::string& value);

}  // namespace bench
