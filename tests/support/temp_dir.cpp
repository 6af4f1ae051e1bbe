#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <sstream>

namespace test_support {

namespace {
std::atomic<int> counter{0};
}

TempDir::TempDir() {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  root_ = std::filesystem::temp_directory_path() /
          ("ensemble_test_" + std::to_string(stamp) + "_" + std::to_string(counter++));
  std::filesystem::create_directories(root_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  // Tests may leave read-only directories behind; make them writable again so they can go.
  for (auto it = std::filesystem::recursive_directory_iterator(root_, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path TempDir::write(const std::filesystem::path& relative,
                                     std::string_view contents) const {
  const auto full = root_ / relative;
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  return full;
}

std::string TempDir::read(const std::filesystem::path& relative) const {
  const auto full = relative.is_absolute() ? relative : root_ / relative;
  std::ifstream in(full, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << full;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> TempDir::file_names_containing(std::string_view fragment) const {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root_)) {
    const std::string name = entry.path().filename().string();
    if (name.find(fragment) != std::string::npos) found.push_back(name);
  }
  return found;
}

}  // namespace test_support
