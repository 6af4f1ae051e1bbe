// A fuzzed "zone_allocations" object applied to a fuzzed variant, with allocation files that the
// input also supplies. The files live in a scratch base-parameter directory: the document after
// the variant is written as 0.json, the next as 1.json and so on, in each of the four folders
// that allocations read, so the allocated names "0" to "3" find them and others find nothing.
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_support.h"
#include "native_runner/zone_allocation_files.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kFiles = 4;
constexpr std::array<const char*, 4> kFolders = {"controls", "lighting", "simplified_fabric",
                                                 "space_heat_emitters"};

// One directory for the whole run, removed when the process ends normally.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "zone_allocation_fuzz.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) fuzz_support::violated("mkdtemp", pattern);
    path_ = pattern;
  }
  ~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void write_file(const fs::path& path, std::string_view contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  static const ScratchDirectory base;
  // allocations NUL variant NUL file 0 NUL file 1 NUL file 2 NUL file 3
  const auto documents = split_documents(as_text(data, size), 2 + kFiles);
  const auto allocations = json_text::parse_json(documents[0]);
  const auto variant = json_text::parse_json(documents[1]);
  if (!allocations || !variant) return 0;

  for (const char* folder : kFolders) {
    const fs::path dir = base.path() / folder;
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (std::size_t k = 0; k < kFiles; ++k) {
      // An absent document leaves its file absent, so missing files get exercised too.
      if (documents[2 + k].empty()) continue;
      write_file(dir / (std::to_string(k) + ".json"), documents[2 + k]);
    }
  }

  Json allocated = *variant;
  const auto outcome = native_runner::apply_zone_allocations(allocated, *allocations, base.path(),
                                                            native_runner::system_files());
  if (outcome) require_writable(allocated, "zone allocations leave a writable variant");
  if (!allocations->is_object()) {
    require(outcome.has_value() && allocated == *variant,
            "allocations that are not an object change nothing");
  }
  return 0;
}
