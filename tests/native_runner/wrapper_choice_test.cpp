#include "native_runner/wrapper_choice.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "support/os_errors.h"
#include "support/temp_dir.h"

namespace native_runner {
namespace {

namespace fs = std::filesystem;
using FileMap = std::map<std::string, std::string>;

// Expected console text names paths under the base directory; "{weather}" and "{wrappers}" stand
// for those directories, with the platform's trailing separator.
class WrapperChoice : public ::testing::Test {
 protected:
  fs::path base() const { return dir_.path() / "batch_parameters"; }

  void write_all(const FileMap& files) const {
    for (const auto& [relative, contents] : files)
      dir_.write(fs::path("batch_parameters") / relative, contents);
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

  test_support::TempDir dir_;
};

struct WrapperRow {
  const char* name;
  std::vector<std::string> keys;
  std::vector<std::string_view> values;
  FileMap files;
  std::string wrapper;
  CliFlags flags;
  std::string output;
};

TEST_F(WrapperChoice, WrapperFlagsAndConsoleLines) {
  const std::string no_flag_line =
      "Running simulation for north wing_12 with weather file: sample.epw and wrapper: ";
  const WrapperRow rows[] = {
      {"no wrapper parameter and no passthrough file",
       {"tariff"},
       {"t1"},
       {},
       "passthrough",
       {},
       "    WARNING: Wrapper parameter file not found: {wrappers}passthrough.json. Defaulting to "
       "no CLI flag.\n"
       "WARNING: Wrapper parameter file not found: {wrappers}passthrough.json. Defaulting to no "
       "CLI flag.\n" +
           no_flag_line + "passthrough (no CLI flag)\n"},
      {"passthrough file with an empty flag",
       {},
       {},
       {{"model_wrappers/passthrough.json", R"({"cli_flag": ""})"}},
       "passthrough",
       {},
       no_flag_line + "passthrough (no CLI flag)\n"},
      {"flag not a string",
       {},
       {},
       {{"model_wrappers/passthrough.json", R"({"cli_flag": 2})"}},
       "passthrough",
       {},
       no_flag_line + "passthrough (no CLI flag)\n"},
      {"wrapper document not an object",
       {},
       {},
       {{"model_wrappers/passthrough.json", R"(["--heat-balance"])"}},
       "passthrough",
       {},
       no_flag_line + "passthrough (no CLI flag)\n"},
      {"known flag from a listed wrapper",
       {"fabric", "model_wrappers", "tariff"},
       {"f1", "heat_balance", "t1"},
       {{"model_wrappers/heat_balance.json", R"({"cli_flag": "--heat-balance"})"}},
       "heat_balance",
       cli_flag_from_name("--heat-balance"),
       no_flag_line + "heat_balance (CLI flag: --heat-balance)\n"},
      {"unknown flag: line first, warning after",
       {"model_wrappers"},
       {"loud"},
       {{"model_wrappers/loud.json", R"({"cli_flag": "--Heat-Balance"})"}},
       "loud",
       {},
       no_flag_line + "loud (CLI flag: --Heat-Balance)\n" +
           "WARNING: Unknown CLI flag: --Heat-Balance. Using default flags.\n"},
  };
  for (const WrapperRow& row : rows) {
    SCOPED_TRACE(row.name);
    write_all(row.files);
    std::ostringstream out;
    std::vector<ParameterList> parameters;
    for (const std::string& key : row.keys) parameters.push_back(ParameterList{key, {}});
    const WrapperQuery query{base(), wrapper_name(parameters, row.values), "north wing_12",
                             "sample.epw"};
    const auto choice = resolve_wrapper_flags(query, system_files(), out);
    ASSERT_TRUE(choice.has_value()) << choice.error().message;
    EXPECT_EQ(choice->wrapper, row.wrapper);
    EXPECT_EQ(choice->flags, row.flags);
    EXPECT_EQ(out.str(), expand(row.output));
    fs::remove_all(base());
  }
}

TEST_F(WrapperChoice, UnreadableWrapperFileEndsBeforeTheRunningLine) {
  write_all({{"model_wrappers/passthrough.json", "{not json"}});
  std::ostringstream out;
  const auto choice =
      resolve_wrapper_flags(WrapperQuery{base(), "passthrough", "g_0", "sample.epw"},
                            system_files(), out);
  EXPECT_FALSE(choice.has_value());
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace native_runner
