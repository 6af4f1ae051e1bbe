// Both programs fed inputs they cannot use: each case must end with one clear line (naming the
// file or member where the system chooses the wording), the right exit status, and no crash.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_runner.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using test_support::ProgramRun;
using test_support::run_program;
using test_support::run_program_with_file_limit;
using test_support::TempDir;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

const std::string kProbe = ENSEMBLE_PROBE_BINARY;
const std::string kSplice = ENVELOPE_SPLICE_BINARY;

const char kModel[] = R"({"Zone": {"z": {"BuildingElement": {
  "w": {"type": "BuildingElementOpaque", "pitch": 90, "u_value": 1.5}}}}, "Tariff": {"a": 1}})";
const char kConfigPath[] = "ws/input/configs/batch.json";
const std::string kBatchFailed = "[ensemble_probe] Native batch failed: ";

std::string nested_arrays(std::size_t depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

std::string nested_objects(std::size_t depth) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += R"({"a":)";
  return text + "1" + std::string(depth, '}');
}

class BadInputTest : public ::testing::Test {
 protected:
  BadInputTest() { base("base_json/house.json", kModel); }

  fs::path base(const std::string& relative, const std::string& text) const {
    return dir_.write(fs::path("ws/input/batch_parameters") / relative, text);
  }
  void config(const std::string& text) const { dir_.write(kConfigPath, text); }

  // A run that did not end by a signal (crash, sanitizer abort) and that wrote nothing to
  // standard error but `err`.
  ProgramRun probe(const std::vector<std::string>& args) const {
    ProgramRun run = run_program(kProbe, args, dir_.path());
    EXPECT_NE(run.exit_code, -1) << run.err;
    return run;
  }
  ProgramRun splice(const std::vector<std::string>& args) const {
    ProgramRun run = run_program(kSplice, args, dir_.path());
    EXPECT_NE(run.exit_code, -1) << run.err;
    EXPECT_EQ(run.out, "");
    return run;
  }
  bool exists(const std::string& relative) const { return fs::exists(dir_.path() / relative); }
  // Files that a failed replacement left beside its target.
  std::vector<std::string> temporaries() const { return dir_.file_names_containing(".tmp-"); }

  TempDir dir_;
};

TEST_F(BadInputTest, GroupsThatCannotBeProcessedEndTheBatchNamingGroupAndMember) {
  const std::string base_json =
      R"(group 'b': "base_json" must be an array whose first element is a string)";
  const std::string tariff = R"(group 'b': parameter list "tariff" must hold only strings)";
  const struct {
    std::string group_b;
    std::string error;
  } rows[] = {
      {R"({"tariff": ["t1"]})", base_json},
      {R"({"base_json": "house"})", base_json},
      {R"({"base_json": []})", base_json},
      {R"({"base_json": [null, "house"]})", base_json},
      {R"({"base_json": {"name": "house"}})", base_json},
      {R"({"base_json": ["house"], "tariff": ["t1", 2]})", tariff},
      {R"({"base_json": ["house"], "tariff": [["t1"]]})", tariff},
      {R"({"base_json": ["house"], "tariff": [null]})", tariff},
  };
  for (const auto& row : rows) {
    fs::remove_all(dir_.path() / "out");
    config(R"({"a": {"base_json": ["house"]}, "b": )" + row.group_b + "}");
    const ProgramRun run = probe({kConfigPath, "out"});
    EXPECT_EQ(run.exit_code, 1) << row.group_b;
    EXPECT_EQ(run.err, kBatchFailed + row.error + "\n") << row.group_b;
    // The group before it was processed and stays.
    EXPECT_TRUE(exists("out/result_batch_a_0/a.json")) << row.group_b;
  }
}

// The group name is the variant's file name: one that holds a directory part would write
// elsewhere, even outside the output directory when it is absolute.
TEST_F(BadInputTest, GroupNameWithADirectoryPartIsRefused) {
  const std::string outside = (dir_.path() / "outside").string();
  json document;
  document[outside]["base_json"] = json::array({"house"});
  config(document.dump());
  const ProgramRun run = probe({kConfigPath, "out"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, kBatchFailed + "group '" + outside +
                         "': the name must be a plain file name, without a directory or drive "
                         "part\n");
  EXPECT_FALSE(exists("outside.json"));
}

TEST_F(BadInputTest, WeatherParameterFileWithoutAUsableWeatherFile) {
  base("weather_files/north.epw", "weather");
  const std::string error =
      "weather parameter file 'ws/input/batch_parameters/weather_files/north.json' has no string "
      "member \"weather_file\"";
  config(R"({"g": {"base_json": ["house"], "weather_files": ["north"]}})");
  for (const std::string document : {"{}", R"({"weather_file": 7})", R"({"weather_file": null})",
                                     R"(["north.epw"])", R"({"weather_file": ["north.epw"]})"}) {
    base("weather_files/north.json", document);
    fs::remove_all(dir_.path() / "out");
    const ProgramRun simulated = probe({"--simulation", kConfigPath, "out"});
    EXPECT_EQ(simulated.exit_code, 1) << document;
    EXPECT_EQ(simulated.err, kBatchFailed + error + "\n") << document;
    // The variant is written before the weather file is looked up for the engine.
    EXPECT_TRUE(exists("out/result_batch_g_0/g.json")) << document;

    // JSON-only mode never needs the weather file: it only stays silent about it.
    const ProgramRun json_only = probe({kConfigPath, "out"});
    EXPECT_EQ(json_only.exit_code, 0) << document << json_only.err;
    EXPECT_EQ(json_only.out.find("Processed weather file"), std::string::npos) << document;
  }
}

TEST_F(BadInputTest, DeeplyNestedDocumentsAreRefusedWithoutExhaustingTheStack) {
  const std::string arrays = nested_arrays(100000);
  const std::string arrays_error = "recursion limit exceeded at line 1 column 129";
  const std::string objects = nested_objects(100000);
  const std::string objects_error = "recursion limit exceeded at line 1 column 641";
  const std::string good_config =
      R"({"g": {"base_json": ["house"], "tariff": ["t1"], "weather_files": ["north"],
              "zone_allocations": {"z": {"control": "c"}}}})";
  base("tariff/t1.json", "{}");
  base("weather_files/north.json", "{}");
  base("controls/c.json", "{}");
  const struct {
    std::string file;  // below the workspace; the configuration itself when empty
    std::string text;
    std::string error;
  } rows[] = {
      {"", arrays, arrays_error},
      {"", objects, objects_error},
      {"base_json/house.json", arrays, arrays_error},
      {"base_json/house.json", objects, objects_error},
      {"tariff/t1.json", arrays, arrays_error},
      {"weather_files/north.json", arrays, arrays_error},
      {"controls/c.json", objects, objects_error},
  };
  for (const auto& row : rows) {
    config(row.file.empty() ? row.text : good_config);
    const fs::path file = row.file.empty() ? fs::path() : base(row.file, row.text);
    const ProgramRun run = probe({kConfigPath, "out"});
    EXPECT_EQ(run.exit_code, 1) << row.file;
    EXPECT_EQ(run.err, kBatchFailed + row.error + "\n") << row.file;
    if (!row.file.empty()) dir_.write(file.lexically_relative(dir_.path()), "{}");
  }

  dir_.write("fabric.json", R"({"wall": {"u_value": 0.2}})");
  dir_.write("arrays.json", arrays);
  dir_.write("objects.json", objects);
  const struct {
    std::vector<std::string> args;
    std::string error;
  } splices[] = {
      {{"arrays.json", "fabric.json", "out.json"}, arrays_error},
      {{"objects.json", "fabric.json", "out.json", "z"}, objects_error},
      {{"ws/input/batch_parameters/base_json/house.json", "arrays.json", "out.json"}, arrays_error},
      {{"ws/input/batch_parameters/base_json/house.json", "objects.json", "out.json"},
       objects_error},
  };
  for (const auto& row : splices) {
    const ProgramRun run = splice(row.args);
    EXPECT_EQ(run.exit_code, 1) << row.args[0];
    EXPECT_EQ(run.err, "Error: " + row.error + "\n") << row.args[0];
    EXPECT_FALSE(exists("out.json"));
  }
}

// About 100 MB in the pretty form, nearly all of it in long strings so that reading it stays
// quick; the one wall's u_value is the text `u_value`.
std::string huge_model(std::string_view u_value) {
  const std::string chunk(1 << 20, 'x');
  std::string text;
  text.reserve(101 << 20);
  text += "{\n  \"Blob\": [\n";
  for (int i = 0; i < 100; ++i) {
    text += i == 0 ? "    \"" : ",\n    \"";
    text += chunk;
    text += '"';
  }
  text += R"(
  ],
  "Zone": {
    "z": {
      "BuildingElement": {
        "w": {
          "pitch": 90,
          "type": "BuildingElementOpaque",
          "u_value": )";
  text += u_value;
  text += R"(
        }
      }
    }
  }
})";
  return text;
}

// Whole-file read sized up front: the stream-buffer copy of TempDir::read is slow at this size.
std::string read_whole(const fs::path& path) {
  std::string text(fs::file_size(path), '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  return text;
}

TEST_F(BadInputTest, ModelOfAHundredMegabytesIsMergedAndWritten) {
  std::string model = huge_model("1.5");
  ASSERT_GT(model.size(), 100'000'000u);
  base("base_json/big.json", model);
  dir_.write("fabric.json", R"({"wall": {"u_value": 0.2}})");

  config(R"({"g": {"base_json": ["big"]}})");
  const ProgramRun batch = probe({kConfigPath, "out"});
  EXPECT_EQ(batch.exit_code, 0) << batch.err;
  EXPECT_TRUE(read_whole(dir_.path() / "out/result_batch_g_0/g.json") == model);

  const ProgramRun spliced =
      splice({"ws/input/batch_parameters/base_json/big.json", "fabric.json", "out.json"});
  EXPECT_EQ(spliced.exit_code, 0) << spliced.err;
  EXPECT_EQ(spliced.err, "");
  model.replace(model.rfind("1.5"), 3, "0.2");
  EXPECT_TRUE(read_whole(dir_.path() / "out.json") == model);
}

// ensemble_probe's own cases are those of its command-line tests.
TEST_F(BadInputTest, SpliceOutputThatIsNotAFilePath) {
  dir_.write("taken", "keep me");
  const std::string model = "ws/input/batch_parameters/base_json/house.json";
  dir_.write("fabric.json", "{}");
  fs::create_directories(dir_.path() / "folder");
  const ProgramRun into_directory = splice({model, "fabric.json", "folder"});
  EXPECT_EQ(into_directory.exit_code, 1);
  EXPECT_EQ(into_directory.err, "Error: Is a directory (os error 21)\n");
  EXPECT_TRUE(fs::is_empty(dir_.path() / "folder"));
  const ProgramRun below_file = splice({model, "fabric.json", "taken/out.json"});
  EXPECT_EQ(below_file.exit_code, 1);
  EXPECT_EQ(below_file.err, "Error: Not a directory (os error 20)\n");
  EXPECT_EQ(dir_.read("taken"), "keep me");
  EXPECT_EQ(temporaries(), std::vector<std::string>{});
}

// "\u0000" is legal inside a JSON string, but the system would cut a file name at that byte:
// this allocation would read the endless /dev/zero.
TEST_F(BadInputTest, NameWithANulByteIsRefusedNotCutShort) {
  fs::create_directories(dir_.path() / "ws/input/batch_parameters/lighting");
  std::string escape;
  for (int i = 0; i < 16; ++i) escape += "../";
  config(R"({"g": {"base_json": ["house"], "zone_allocations": {"z": {"lighting": ")" + escape +
         R"(dev/zero\u0000"}}}})");
  const ProgramRun run = probe({kConfigPath, "out"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, kBatchFailed + "Invalid argument (os error 22)\n");
}

// An address-space limit makes the whole-file read of a sparse 4 GiB model run out of memory.
TEST_F(BadInputTest, ModelTooLargeForMemoryEndsTheBatchWithoutAnAbort) {
  if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer's shadow memory needs the address space";
  fs::resize_file(base("base_json/big.json", ""), std::uintmax_t{4} << 30);
  config(R"({"g": {"base_json": ["big"]}})");
  const ProgramRun run = run_program(
      "/bin/sh", {"-c", "ulimit -v 1000000; exec \"$0\" \"$@\"", kProbe, kConfigPath, "out"},
      dir_.path());
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, kBatchFailed + "Cannot allocate memory (os error 12)\n");
  EXPECT_FALSE(exists("out/result_batch_g_0"));
}

TEST_F(BadInputTest, OutputWhoseWritesFail) {
  config(R"({"g": {"base_json": ["house"]}})");
  const ProgramRun limited =
      run_program_with_file_limit(kProbe, {kConfigPath, "out"}, dir_.path(), 0);
  EXPECT_EQ(limited.exit_code, 1);
  EXPECT_EQ(limited.err, kBatchFailed + "File too large (os error 27)\n");
  EXPECT_FALSE(exists("out/result_batch_g_0"));
}

TEST_F(BadInputTest, ReadOnlyOutputDirectory) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  config(R"({"g": {"base_json": ["house"]}})");
  fs::create_directories(dir_.path() / "readonly");
  fs::permissions(dir_.path() / "readonly", fs::perms::owner_read | fs::perms::owner_exec);
  const ProgramRun refused = probe({kConfigPath, "readonly"});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_EQ(refused.err, kBatchFailed + "Permission denied (os error 13)\n");
}

TEST_F(BadInputTest, InputsThatAreDirectories) {
  const std::string is_directory = "Is a directory (os error 21)\n";
  fs::create_directories(dir_.path() / kConfigPath);
  const ProgramRun config_directory = probe({kConfigPath, "out"});
  EXPECT_EQ(config_directory.exit_code, 1);
  EXPECT_EQ(config_directory.err, kBatchFailed + is_directory);
  fs::remove(dir_.path() / kConfigPath);

  config(R"({"g": {"base_json": ["house"], "tariff": ["t1"]}})");
  fs::create_directories(dir_.path() / "ws/input/batch_parameters/tariff/t1.json");
  const ProgramRun parameter_directory = probe({kConfigPath, "out"});
  EXPECT_EQ(parameter_directory.exit_code, 1);
  EXPECT_EQ(parameter_directory.err, kBatchFailed + is_directory);

  config(R"({"g": {"base_json": ["folder"]}})");
  fs::create_directories(dir_.path() / "ws/input/batch_parameters/base_json/folder.json");
  const ProgramRun model_directory = probe({kConfigPath, "out"});
  EXPECT_EQ(model_directory.exit_code, 1);
  EXPECT_EQ(model_directory.err, kBatchFailed + is_directory);

  dir_.write("fabric.json", "{}");
  fs::create_directories(dir_.path() / "folder");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"folder", "fabric.json", "out.json"},
           {"ws/input/batch_parameters/base_json/house.json", "folder", "out.json"}}) {
    const ProgramRun run = splice(args);
    EXPECT_EQ(run.exit_code, 1) << args[0];
    EXPECT_EQ(run.err, "Error: " + is_directory) << args[0];
    EXPECT_FALSE(exists("out.json"));
  }
}

TEST_F(BadInputTest, NamesWithSpacesQuotesAndNonAsciiCharacters) {
  const std::string workspace = "w s \"q\" \u00fc";
  const std::string group = "G \"\u00fc\" 1";
  const std::string config_path = workspace + "/input/configs/b \"c\" \u00e9.json";
  dir_.write(workspace + "/input/batch_parameters/base_json/my house \u00e9.json", kModel);
  dir_.write(workspace + "/input/batch_parameters/tariff/v \"\u00e9\" x.json",
             R"({"Tariff": {"b": "\u00e9"}})");
  json config_document;
  config_document[group]["base_json"] = json::array({"my house \u00e9"});
  config_document[group]["tariff"] = json::array({"v \"\u00e9\" x"});
  dir_.write(config_path, config_document.dump());

  const std::string out = "out \u00e4 \"x\"";
  const ProgramRun run = probe({config_path, out});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::string result = out + "/result_b \"c\" \u00e9_" + group + "_0/" + group + ".json";
  const json variant = json::parse(dir_.read(result));
  EXPECT_EQ(variant["Tariff"], json::parse(R"({"a": 1, "b": "\u00e9"})"));
  std::vector<std::string> models;
  std::istringstream log(dir_.read(out + "/logs/processing/batch_processing_native_test.log"));
  for (std::string line; std::getline(log, line);) {
    const json event = json::parse(line);
    EXPECT_EQ(event["config_name"], "b \"c\" \u00e9");
    models.push_back(event["model_name"]);
  }
  EXPECT_EQ(models, (std::vector<std::string>{"", group + "_0", group + "_0", ""}));

  const std::string zone = "Wohn \"zimmer\" \u00fc";
  json model = json::parse(kModel);
  model["Zone"][zone] = model["Zone"]["z"];
  dir_.write("m \"\u00e9\".json", model.dump());
  dir_.write("f \u00fc.json", R"({"wall": {"u_value": 0.2}})");
  const ProgramRun spliced = splice({"m \"\u00e9\".json", "f \u00fc.json", "o \u00e9.json", zone});
  EXPECT_EQ(spliced.exit_code, 0) << spliced.err;
  EXPECT_EQ(spliced.err, "");
  const json merged = json::parse(dir_.read("o \u00e9.json"));
  EXPECT_EQ(merged["Zone"][zone]["BuildingElement"]["w"]["u_value"], 0.2);
  EXPECT_EQ(merged["Zone"]["z"]["BuildingElement"]["w"]["u_value"], 1.5);
}

TEST_F(BadInputTest, CommandLineWordsThatAreNotValidUtf8) {
  config(R"({"g": {"base_json": ["house"]}})");
  const struct {
    std::vector<std::string> args;
    std::string err;
  } rows[] = {
      {{"ws/input/configs/b\xff.json", "out"},
       "[ensemble_probe] Command-line argument 1 is not valid UTF-8: "
       "ws/input/configs/b\uFFFD.json"},
      {{kConfigPath, "out\xc3("},
       "[ensemble_probe] Command-line argument 2 is not valid UTF-8: out\uFFFD("},
      {{"--simulation", kConfigPath, "o\xed\xa0\x80t"},
       "[ensemble_probe] Command-line argument 3 is not valid UTF-8: o\uFFFD\uFFFD\uFFFDt"},
  };
  for (const auto& row : rows) {
    const ProgramRun run = probe(row.args);
    EXPECT_EQ(run.exit_code, 1) << row.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, row.err + "\n");
  }
  // Refused before anything is created.
  EXPECT_FALSE(exists("out\xc3("));
  EXPECT_FALSE(exists("out"));

  // Any byte string but NUL is a legal Linux file name: envelope_splice opens such paths as
  // they are, and a zone name that is not text simply matches no zone.
  dir_.write("m\xff.json", kModel);
  dir_.write("f\xfe.json", R"({"wall": {"u_value": 0.2}})");
  const ProgramRun global = splice({"m\xff.json", "f\xfe.json", "o\xfd.json"});
  EXPECT_EQ(global.exit_code, 0) << global.err;
  EXPECT_EQ(global.err, "");
  EXPECT_EQ(json::parse(dir_.read("o\xfd.json"))["Zone"]["z"]["BuildingElement"]["w"]["u_value"],
            0.2);
  const ProgramRun zone = splice({"m\xff.json", "f\xfe.json", "o\xfd.json", "z\xff"});
  EXPECT_EQ(zone.exit_code, 0) << zone.err;
  EXPECT_EQ(zone.err, "Warning: Target zone 'z\xff' not found in model\n");
}

}  // namespace
