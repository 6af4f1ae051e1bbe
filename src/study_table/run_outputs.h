#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "native_runner/files.h"
#include "study_table/metrics_file.h"

namespace study_table {

// The files one engine run left below {result dir}/engine/outputs, listed once and each read
// at most once however many metrics look into it.
class RunOutputs {
 public:
  RunOutputs(const native_runner::Files& files, std::filesystem::path outputs_dir);

  // The metric's value in this run, or why there is none: no file or several match its
  // pattern, the file cannot be read, or the lookup finds nothing.
  common::Result<std::string> value_of(const Metric& metric);

 private:
  common::Result<std::vector<std::string>> list_outputs() const;
  common::Result<const std::string*> text_of(const common::PathPattern& pattern);

  const native_runner::Files& files_;
  std::filesystem::path dir_;
  std::optional<common::Result<std::vector<std::string>>> listing_;
  std::map<std::string, common::Result<std::string>> texts_;
  std::string last_file_;  // the file text_of found last
};

// Where a result directory keeps its engine's files.
std::filesystem::path engine_outputs_dir(const std::filesystem::path& result_dir);

}  // namespace study_table
