#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace test_support {

// A fixture owning a batch_parameters directory in a fresh temporary folder. Expected console
// text names paths under it; "{weather}" and "{wrappers}" stand for those directories, with the
// platform's trailing separator.
class ParameterDirTest : public ::testing::Test {
 public:
  using FileMap = std::map<std::string, std::string>;

 protected:
  std::filesystem::path base() const { return dir_.path() / "batch_parameters"; }

  void write_all(const FileMap& files) const {
    for (const auto& [relative, contents] : files)
      dir_.write(std::filesystem::path("batch_parameters") / relative, contents);
  }

  std::string expand(std::string text) const {
    replace(text, "{weather}", platform::path_text(base() / "weather_files" / ""));
    replace(text, "{wrappers}", platform::path_text(base() / "model_wrappers" / ""));
    return text;
  }

 private:
  static void replace(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
      text.replace(at, from.size(), to);
    }
  }

  TempDir dir_;
};

}  // namespace test_support
