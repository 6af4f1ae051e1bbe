// The bundled example workspace is what new users copy first, so a reference that points at a
// missing or broken file there is a real fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "json/json_file.h"
#include "json/json_reader.h"
#include "native_runner/weather_selection.h"
#include "native_runner/workspace_paths.h"
#include "native_runner/wrapper_choice.h"
#include "platform/file_system.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;
using json_text::Json;

const std::string kConfigPath =
    std::string(EXAMPLES_DIR) + "/workspace/input/configs/demo_batch.json";

fs::path example_base_params() {
  return fs::path(EXAMPLES_DIR) / "workspace/input/batch_parameters";
}

Json read_object(const fs::path& path) {
  const auto document = json_text::read_json_file(path);
  EXPECT_TRUE(document.has_value())
      << platform::path_text(path) << ": " << document.error().message;
  if (!document) return Json::object();
  EXPECT_TRUE(document->is_object()) << platform::path_text(path);
  return *document;
}

TEST(ExampleWorkspace, ConfigurationLiesThreeLevelsBelowTheWorkspace) {
  const auto paths = derive_workspace_paths(kConfigPath);
  ASSERT_TRUE(paths.has_value()) << paths.error().message;
  EXPECT_EQ(paths->workspace, fs::path(EXAMPLES_DIR) / "workspace");
  EXPECT_TRUE(fs::is_directory(paths->base_params_dir));
  EXPECT_TRUE(fs::is_regular_file(paths->workspace / "src-tauri" / "resources" / "run.sh"));
}

TEST(ExampleWorkspace, EveryReferencedFileExistsAndIsAnObject) {
  const Json config = read_object(kConfigPath);
  const fs::path base = example_base_params();
  std::size_t combinations = 0;
  for (const auto& [group_name, group] : config.items()) {
    if (!group.is_object()) continue;
    SCOPED_TRACE(group_name);
    std::size_t group_combinations = 1;
    for (const auto& [key, values] : group.items()) {
      if (key == "zone_allocations" || !values.is_array()) continue;
      for (const Json& value : values)
        read_object(base / key / (value.get<std::string>() + ".json"));
      if (key != "base_json" && key != "weather_files") group_combinations *= values.size();
    }
    combinations += group_combinations;
    const Json allocations = group.value("zone_allocations", Json::object());
    for (const auto& [zone, allocation] : allocations.items()) {
      for (const auto& [kind, name] : allocation.items()) {
        // The "control" allocation is the one whose directory name differs from its key.
        const std::string dir = kind == "control" ? "controls" : kind;
        read_object(base / dir / (name.get<std::string>() + ".json"));
      }
    }
  }
  EXPECT_EQ(combinations, 6u);
}

TEST(ExampleWorkspace, WeatherAndWrappersResolve) {
  const Json config = read_object(kConfigPath);
  const fs::path base = example_base_params();
  std::ostringstream out;
  const auto lookup =
      resolve_weather_file(config.at("heat_pump_retrofit"), base, system_files(), out);
  ASSERT_TRUE(lookup.has_value()) << lookup.error().message;
  EXPECT_EQ(lookup->kind, WeatherLookup::Kind::Found);
  EXPECT_EQ(lookup->weather_file, "sample_site.epw");

  const struct {
    std::string_view wrapper;
    CliFlags flags;
    std::string line;
  } rows[] = {
      {"passthrough",
       {},
       "Running simulation for heat_pump_retrofit_0 with weather file: sample_site.epw and "
       "wrapper: "
       "passthrough (no CLI flag)\n"},
      {"heat_balance", cli_flag_from_name("--heat-balance"),
       "Running simulation for heat_pump_retrofit_0 with weather file: sample_site.epw and "
       "wrapper: "
       "heat_balance (CLI flag: --heat-balance)\n"},
  };
  for (const auto& row : rows) {
    std::ostringstream lines;
    const std::vector<ParameterList> parameters = {{"heat_source_wet", {}},
                                                   {"model_wrappers", {}}};
    const WrapperQuery query{base, wrapper_name(parameters, {"air_source_heat_pump", row.wrapper}),
                             "heat_pump_retrofit_0", "sample_site.epw"};
    const auto choice = resolve_wrapper_flags(query, system_files(), lines);
    ASSERT_TRUE(choice.has_value()) << choice.error().message;
    EXPECT_EQ(choice->flags, row.flags);
    EXPECT_EQ(lines.str(), row.line);
  }
}

}  // namespace
}  // namespace native_runner
