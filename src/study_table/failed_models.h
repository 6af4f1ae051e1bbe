#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>

#include "common/error.h"

namespace study_table {

// The models whose last error record, over the error logs of every job id in an output
// directory (the shards of a sharded batch too), is a failed simulation. Logs are read in pieces
// and only one small entry per model with an error record is kept, so a log of any length fits.
class FailedModels {
 public:
  // Fails, naming the log, when a log that is there cannot be read.
  static common::Result<FailedModels> read(const std::filesystem::path& output_dir);

  bool failed(std::string_view model_name) const;

 private:
  void fold(std::string_view complete_lines);

  struct Last {
    std::int64_t time = 0;
    bool failed = false;
  };
  std::unordered_map<std::string, Last> last_;
};

}  // namespace study_table
