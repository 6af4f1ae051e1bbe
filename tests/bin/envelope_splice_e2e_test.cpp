#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/program_runner.h"
#include "support/temp_dir.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

namespace fs = std::filesystem;
using nlohmann::json;
using test_support::ProgramRun;
using test_support::run_program;
using test_support::TempDir;

const std::string kProgram = ENVELOPE_SPLICE_BINARY;

const char* const kUsageTail =
    " <base_model.json> <fabric_params.json> <output.json> [zone_name]\n"
    "  If zone_name is provided, fabric changes will only be applied to that specific zone.\n"
    "  If zone_name is not provided, fabric changes will be applied to all zones (global mode).\n";

// Members deliberately out of order: the output must list them sorted at every level.
const char* const kModel = R"({"Zone": {
  "z1": {"BuildingElement": {"w": {"u_value": 2, "type": "BuildingElementOpaque", "pitch": 90}},
         "ThermalBridging": {"t": {"type": "ThermalBridgeLinear", "length": 3}}},
  "z0": {"BuildingElement": {"r": {"type": "BuildingElementOpaque", "pitch": 30, "r_c": 1.5}}}},
  "General": {"b": [1, {}], "a": "x/\u00e9"}})";

const char* const kFabricLinearOnly = R"({"wall": {"u_value": 0.25}, "roof": {"u_value": 0.1},
  "door": 7, "ThermalBridging": {"TB_linear": {"linear_thermal_transmittance": 0.08}}})";

const char* const kFabricBothBridges = R"({"wall": {"u_value": 0.25},
  "ThermalBridging": {"TB_linear": {"linear_thermal_transmittance": 0.08}, "TB_point": {}}})";

// The pretty text of `text`, for documents whose numbers and strings print the same everywhere.
std::string pretty(const char* text) { return json::parse(text).dump(2); }

std::vector<std::string> directory_listing(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class EnvelopeSpliceTest : public ::testing::Test {
 protected:
  ProgramRun splice(const std::vector<std::string>& args) {
    ProgramRun run = run_program(kProgram, args, dir_.path());
    EXPECT_EQ(run.out, "");
    return run;
  }
  std::string path(const char* name) const { return (dir_.path() / name).string(); }

  TempDir dir_;
};

TEST_F(EnvelopeSpliceTest, WrongOperandCountPrintsUsageAndTouchesNothing) {
  dir_.write("base.json", kModel);
  dir_.write("fabric.json", kFabricLinearOnly);
  const std::vector<std::vector<std::string>> rows = {
      {},
      {"base.json", "fabric.json"},
      {"base.json", "fabric.json", "out.json", "z1", "extra"},
  };
  for (const auto& args : rows) {
    const ProgramRun run = splice(args);
    EXPECT_EQ(run.exit_code, 1) << args.size();
    EXPECT_EQ(run.err, "Usage: " + kProgram + kUsageTail) << args.size();
  }
  EXPECT_EQ(directory_listing(dir_.path()), (std::vector<std::string>{"base.json", "fabric.json"}));

  const ProgramRun renamed = run_program(kProgram, {"a"}, dir_.path(), "splice");
  EXPECT_EQ(renamed.err, std::string("Usage: splice") + kUsageTail);

  const ProgramRun unnamed = run_program("/bin/bash", {"-c", "exec -a '' \"$0\"", kProgram});
  EXPECT_EQ(unnamed.exit_code, 1);
  EXPECT_EQ(unnamed.err, std::string("Usage: envelope_splice") + kUsageTail);
}

TEST_F(EnvelopeSpliceTest, GlobalModeWritesEveryZoneSortedAndLeavesBridgesWithoutBothRules) {
  dir_.write("base.json", kModel);
  dir_.write("fabric.json", kFabricLinearOnly);
  const ProgramRun run = splice({"base.json", "fabric.json", "out.json"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(dir_.read("out.json"), R"({
  "General": {
    "a": "x/)"
                                   "\u00e9"
                                   R"(",
    "b": [
      1,
      {}
    ]
  },
  "Zone": {
    "z0": {
      "BuildingElement": {
        "r": {
          "pitch": 30,
          "type": "BuildingElementOpaque",
          "u_value": 0.1
        }
      }
    },
    "z1": {
      "BuildingElement": {
        "w": {
          "pitch": 90,
          "type": "BuildingElementOpaque",
          "u_value": 0.25
        }
      },
      "ThermalBridging": {
        "t": {
          "length": 3,
          "type": "ThermalBridgeLinear"
        }
      }
    }
  }
})");
}

TEST_F(EnvelopeSpliceTest, ZoneModeChangesOnlyTheNamedZone) {
  dir_.write("base.json", kModel);
  dir_.write("fabric.json", kFabricBothBridges);
  const ProgramRun run = splice({"base.json", "fabric.json", "out.json", "z1"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  json expected = json::parse(kModel);
  expected["Zone"]["z1"]["BuildingElement"]["w"]["u_value"] = 0.25;
  expected["Zone"]["z1"]["ThermalBridging"]["t"]["linear_thermal_transmittance"] = 0.08;
  EXPECT_EQ(dir_.read("out.json"), expected.dump(2));
}

TEST_F(EnvelopeSpliceTest, MissingZoneOrZoneObjectStillWritesTheModelUnchanged) {
  const struct {
    const char* model;
    std::vector<std::string> zone;
    const char* err;
  } rows[] = {
      {kModel, {"Attic"}, "Warning: Target zone 'Attic' not found in model\n"},
      {kModel, {""}, "Warning: Target zone '' not found in model\n"},
      {R"({"b": 1, "a": {"d": 2, "c": []}})", {}, ""},
      {R"({"b": 1, "a": {"d": 2, "c": []}})", {"z1"}, ""},
  };
  for (const auto& row : rows) {
    dir_.write("base.json", row.model);
    dir_.write("fabric.json", kFabricBothBridges);
    std::vector<std::string> args = {"base.json", "fabric.json", "out.json"};
    args.insert(args.end(), row.zone.begin(), row.zone.end());
    const ProgramRun run = splice(args);
    EXPECT_EQ(run.exit_code, 0) << row.err;
    EXPECT_EQ(run.err, row.err);
    EXPECT_EQ(dir_.read("out.json"), pretty(row.model)) << row.err;
  }
}

TEST_F(EnvelopeSpliceTest, OutputMayReplaceTheBaseModel) {
  dir_.write("base.json", kModel);
  dir_.write("fabric.json", kFabricBothBridges);
  const ProgramRun run = splice({"base.json", "fabric.json", "base.json", "z0"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(dir_.read("base.json"), pretty(kModel));  // z0 has no wall
  EXPECT_EQ(directory_listing(dir_.path()), (std::vector<std::string>{"base.json", "fabric.json"}));
}

TEST_F(EnvelopeSpliceTest, InputFailuresReportTheFirstErrorAndWriteNothing) {
  const struct {
    const char* name;
    const char* base;    // nullptr: no base file
    const char* fabric;  // nullptr: "fabric.json" is a directory
    const char* err;
  } rows[] = {
      {"missing base, fabric unreadable", nullptr, nullptr,
       "Error: No such file or directory (os error 2)\n"},
      {"base malformed, fabric unreadable", "1 2", nullptr,
       "Error: trailing characters at line 1 column 3\n"},
      {"fabric unreadable", kModel, nullptr, "Error: Is a directory (os error 21)\n"},
      {"fabric an array", kModel, "[1, 2]",
       "Error: invalid type: sequence, expected a map at line 1 column 1\n"},
      {"fabric not UTF-8", kModel, "{\"wall\": \"\xff\"}",
       "Error: stream did not contain valid UTF-8\n"},
  };
  for (const auto& row : rows) {
    TempDir dir;
    if (row.base != nullptr) dir.write("base.json", row.base);
    if (row.fabric != nullptr) {
      dir.write("fabric.json", row.fabric);
    } else {
      fs::create_directory(dir.path() / "fabric.json");
    }
    const ProgramRun run =
        run_program(kProgram, {"base.json", "fabric.json", "out.json"}, dir.path());
    EXPECT_EQ(run.exit_code, 1) << row.name;
    EXPECT_EQ(run.out, "") << row.name;
    EXPECT_EQ(run.err, row.err) << row.name;
    EXPECT_FALSE(fs::exists(dir.path() / "out.json")) << row.name;
  }
}

// The address-space limit makes the whole-file read run out of memory; a sparse file costs no disk.
TEST_F(EnvelopeSpliceTest, InputTooLargeForMemoryIsAnError) {
  if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer's shadow memory needs the address space";
  fs::resize_file(dir_.write("base.json", ""), std::uintmax_t{4} << 30);
  dir_.write("fabric.json", kFabricLinearOnly);
  const ProgramRun run = run_program("/bin/sh",
                                     {"-c", "ulimit -v 1000000; exec \"$0\" \"$@\"", kProgram,
                                      "base.json", "fabric.json", "out.json"},
                                     dir_.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "Error: Cannot allocate memory (os error 12)\n");
  EXPECT_FALSE(fs::exists(dir_.path() / "out.json"));
}

TEST_F(EnvelopeSpliceTest, OutputDirectoryMissingIsAnError) {
  dir_.write("base.json", kModel);
  dir_.write("fabric.json", kFabricLinearOnly);
  const ProgramRun run = splice({"base.json", "fabric.json", "no_such_dir/out.json"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "Error: No such file or directory (os error 2)\n");
}

// A write that fails or is cut short must not cost the user the file already at the output
// path, which may well be the base model itself. A file size limit makes the write fail even
// for root: with SIGXFSZ ignored the write returns EFBIG, otherwise the signal kills the program.
TEST_F(EnvelopeSpliceTest, FailedWriteLeavesTheExistingOutputUntouched) {
  const std::string original = "previous contents\n";
  const struct {
    const char* name;
    const char* shell_prefix;
    int exit_code;
    const char* err;
  } rows[] = {
      {"write fails", "trap '' XFSZ; ulimit -f 0; ", 1, "Error: File too large (os error 27)\n"},
      {"killed while writing", "ulimit -f 0; ", -1, ""},
  };
  for (const auto& row : rows) {
    TempDir dir;
    dir.write("base.json", kModel);
    dir.write("fabric.json", kFabricLinearOnly);
    dir.write("out.json", original);
    const std::string script = std::string(row.shell_prefix) + "exec \"$0\" \"$@\"";
    const ProgramRun run = run_program(
        "/bin/sh", {"-c", script, kProgram, "base.json", "fabric.json", "out.json"}, dir.path());
    EXPECT_EQ(run.exit_code, row.exit_code) << row.name;
    EXPECT_EQ(run.out, "") << row.name;
    EXPECT_EQ(run.err, row.err) << row.name;
    EXPECT_EQ(dir.read("out.json"), original) << row.name;
    if (row.exit_code == 1) {
      EXPECT_EQ(directory_listing(dir.path()),
                (std::vector<std::string>{"base.json", "fabric.json", "out.json"}));
    }
  }
}

TEST_F(EnvelopeSpliceTest, ReadOnlyOutputDirectoryKeepsTheExistingOutput) {
  if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
  dir_.write("base.json", kModel);
  dir_.write("fabric.json", kFabricLinearOnly);
  const fs::path locked = dir_.write("locked/out.json", "previous");
  fs::permissions(locked.parent_path(), fs::perms::owner_read | fs::perms::owner_exec);
  const ProgramRun run = splice({"base.json", "fabric.json", "locked/out.json"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "Error: Permission denied (os error 13)\n");
  EXPECT_EQ(dir_.read("locked/out.json"), "previous");
}

}  // namespace
