#include "bench_fixture.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "json/json_file.h"
#include "json/json_reader.h"
#include "platform/file_system.h"
#include "workspace_writer.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

// Owns the temporary directory; its destructor runs at process exit.
class TemporaryWorkspace {
 public:
  TemporaryWorkspace() {
    std::string pattern = (fs::temp_directory_path() / "ensemble-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    if (auto written = write_workspace(root_, WorkspaceOptions{}); !written) {
      throw std::runtime_error(written.error().message);
    }
  }
  ~TemporaryWorkspace() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  const fs::path& root() const { return root_; }

 private:
  fs::path root_;
};

template <typename T>
T must(common::Result<T> result) {
  if (!result) throw std::runtime_error(result.error().message);
  return std::move(*result);
}

}  // namespace

const fs::path& workspace_root() {
  static const TemporaryWorkspace workspace;
  return workspace.root();
}

fs::path base_params_dir() { return workspace_root() / "input" / "batch_parameters"; }

fs::path base_model_path() { return base_params_dir() / "base_json" / "model.json"; }

const std::string& model_text() {
  static const std::string text = must(platform::read_file(base_model_path()));
  return text;
}

const json_text::Json& model() {
  static const json_text::Json parsed = must(json_text::parse_json(model_text()));
  return parsed;
}

json_text::Json parameter_document(const std::string& key, const std::string& value) {
  return must(json_text::read_json_file(base_params_dir() / key / (value + ".json")));
}

}  // namespace bench
