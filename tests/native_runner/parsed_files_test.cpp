#include "native_runner/parsed_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "native_runner/batch_driver.h"
#include "platform/file_system.h"
#include "support/editing_files.h"
#include "support/fake_process_runner.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;

const std::string kModel = R"({"Tariff": {"a": 1}, "Zone": {"u": 1.5}})";
// As long as kModel, so only the times tell the edit apart.
const std::string kSameSize = R"({"Tariff": {"a": 1}, "Zone": {"u": 2.5}})";
const std::string kLonger = R"({"Tariff": {"a": 1}, "Zone": {"u": 12.75}})";
constexpr int kCombinations = 4;
constexpr std::size_t kEditAfter = 2;  // variants written before the base model changes

struct Outcome {
  std::string console;  // without the progress blocks, which carry the time
  std::vector<std::string> variants;  // "" where none was written
  std::string error;                  // the batch's failure, if any
};

// A real parameter tree in a temporary folder: the stamps are the file system's own.
class BaseModelEditTest : public ::testing::Test {
 protected:
  fs::path base() const { return dir_.path() / "ws" / "input" / "batch_parameters"; }
  fs::path model() const { return base() / "base_json" / "house.json"; }

  void SetUp() override {
    for (int t = 0; t < kCombinations; ++t) {
      dir_.write(base() / "tariff" / ("t" + std::to_string(t) + ".json"),
                 R"({"Tariff": {"b": )" + std::to_string(t) + "}}");
    }
    dir_.write(dir_.path() / "batch.json",
               R"({"g": {"base_json": ["house"], "tariff": ["t0", "t1", "t2", "t3"]}})");
  }

  Outcome run(const Files& files, const std::string& out_name) const {
    std::ostringstream console;
    const test_support::FakeProcessRunner processes;
    const BatchServices services{console, files, processes,
                                 EngineHost{dir_.path(), ShellSearch{{}, {"which", {}, {}}}}};
    const fs::path out = dir_.path() / out_name;
    const BatchOptions options{.config_path = dir_.path() / "batch.json",
                               .base_params_dir = base(),
                               .output_dir = out,
                               .progress_dir = out,
                               .job_id = "job"};
    Outcome outcome;
    if (auto done = run_native_batch(options, services); !done) outcome.error = done.error().message;
    std::istringstream lines(console.str());
    bool in_snapshot = false;
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("[PROGRESS] Progress data: ")) in_snapshot = true;
      if (in_snapshot) {
        in_snapshot = line != "}";
        continue;
      }
      if (line.find(out_name) == std::string::npos) outcome.console += line + "\n";
    }
    for (int i = 0; i < kCombinations; ++i) {
      const fs::path variant = out / ("result_batch_g_" + std::to_string(i)) / "g.json";
      outcome.variants.push_back(fs::exists(variant) ? dir_.read(variant) : "");
    }
    return outcome;
  }

  test_support::TempDir dir_;
};

// Each combination after the edit sees the base model as a fresh batch started then would.
TEST_F(BaseModelEditTest, ModelEditedDuringTheBatchIsReadAgain) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> edit;
  };
  const auto write = [](const std::string& text) {
    return [text](const fs::path& path) { (void)platform::write_file(path, text); };
  };
  const Case cases[] = {
      {"grown", write(kLonger)},
      {"same size, newer time",
       [](const fs::path& path) {
         const auto before = fs::last_write_time(path);
         (void)platform::write_file(path, kSameSize);
         fs::last_write_time(path, before + std::chrono::seconds(10));
       }},
      {"renamed over", [](const fs::path& path) { (void)platform::replace_file(path, kSameSize); }},
      {"removed", [](const fs::path& path) { fs::remove(path); }},
      {"broken", write(R"({"Zone": )")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir_.write(model(), kModel);
    const Outcome before = run(system_files(), "before");
    c.edit(model());
    const Outcome after = run(system_files(), "after");

    dir_.write(model(), kModel);
    const test_support::EditingFiles editing(system_files(), kEditAfter,
                                             [&] { c.edit(model()); });
    const Outcome edited = run(editing, "edited");

    for (std::size_t i = 0; i < kCombinations; ++i) {
      EXPECT_EQ(edited.variants[i], (i < kEditAfter ? before : after).variants[i]) << i;
    }
    EXPECT_EQ(edited.error, after.error);
    EXPECT_NE(before.variants.back(), after.variants.back());
    // From the edit on, the lines are those a fresh batch ends with.
    const std::string marker =
        "JSON-ONLY MODE: Skipping simulation for g_" + std::to_string(kEditAfter - 1) + "\n";
    const auto at = edited.console.find(marker);
    ASSERT_NE(at, std::string::npos) << edited.console;
    EXPECT_TRUE(after.console.ends_with(edited.console.substr(at + marker.size())))
        << edited.console << "----\n"
        << after.console;
    fs::remove_all(dir_.path() / "before");
    fs::remove_all(dir_.path() / "after");
    fs::remove_all(dir_.path() / "edited");
  }
}

// Where the store gives no stamp, every look reads the file, as before anything was kept.
TEST(ParsedFilesTest, KeepsADocumentOnlyWhileItsStampHolds) {
  test_support::TempDir dir;
  const fs::path path = dir.write("a.json", R"({"v": 1})");
  ParsedFiles parsed(system_files());
  const auto first = parsed.read(path);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->get(), parsed.read(path)->get());
  (void)platform::write_file(path, R"({"v": 22})");
  const auto second = parsed.read(path);
  ASSERT_TRUE(second);
  EXPECT_EQ((**second)["v"], 22);
  EXPECT_EQ(*parsed.find(dir.path() / "missing.json"), std::nullopt);
}

}  // namespace
}  // namespace native_runner
