#include "native_runner/weather_selection.h"

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
using json_text::Json;

constexpr char kSampleWeather[] = R"({"weather_file": "sample.epw"})";

// Expected console text names paths under the base directory; "{weather}" and "{wrappers}" stand
// for those directories, with the platform's trailing separator.
class WeatherSelection : public ::testing::Test {
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

struct AnnounceRow {
  const char* name;
  const char* group;
  FileMap files;
  std::string output;
};

TEST_F(WeatherSelection, AnnouncePrintsOnlyWhenTheWeatherFileExists) {
  const AnnounceRow rows[] = {
      {"no weather_files", R"({"base_json": ["m"]})", {}, ""},
      {"empty array", R"({"weather_files": []})", {}, ""},
      {"not an array", R"({"weather_files": "w"})", {}, ""},
      {"first element a number", R"({"weather_files": [7, "w"]})", {}, ""},
      {"found",
       R"({"weather_files": ["w", "unused"]})",
       {{"weather_files/w.json", kSampleWeather}, {"weather_files/sample.epw", "data"}},
       "Processed weather file: {weather}sample.epw\n"},
      {"weather file missing",
       R"({"weather_files": ["w"]})",
       {{"weather_files/w.json", kSampleWeather}},
       ""},
      {"weather_file member missing",
       R"({"weather_files": ["w"]})",
       {{"weather_files/w.json", R"({"other": "sample.epw"})"}},
       ""},
      {"weather_file member a number",
       R"({"weather_files": ["w"]})",
       {{"weather_files/w.json", R"({"weather_file": 3})"}},
       ""},
      {"parameter document an array",
       R"({"weather_files": ["w"]})",
       {{"weather_files/w.json", R"(["sample.epw"])"}},
       ""},
  };
  for (const AnnounceRow& row : rows) {
    SCOPED_TRACE(row.name);
    write_all(row.files);
    std::ostringstream out;
    const auto result =
        announce_weather_file(Json::parse(row.group), base(), system_files(), out);
    ASSERT_TRUE(result.has_value()) << result.error().message;
    EXPECT_EQ(out.str(), expand(row.output));
    fs::remove_all(base());
  }
}

TEST_F(WeatherSelection, MissingWeatherParameterFileIsAnErrorInBothOperations) {
  const Json group = Json::parse(R"({"weather_files": ["absent"]})");
  std::ostringstream out;
  const auto announced = announce_weather_file(group, base(), system_files(), out);
  ASSERT_FALSE(announced.has_value());
  EXPECT_EQ(announced.error().message, test_support::missing_folder_error());
  const auto resolved = resolve_weather_file(group, base(), system_files(), out);
  ASSERT_FALSE(resolved.has_value());
  EXPECT_EQ(resolved.error().message, test_support::missing_folder_error());
  EXPECT_EQ(out.str(), "");
}

TEST_F(WeatherSelection, InvalidWeatherParameterFileIsAnError) {
  write_all({{"weather_files/w.json", "{\"weather_file\": "}});
  const Json group = Json::parse(R"({"weather_files": ["w"]})");
  std::ostringstream out;
  EXPECT_FALSE(announce_weather_file(group, base(), system_files(), out).has_value());
  EXPECT_FALSE(resolve_weather_file(group, base(), system_files(), out).has_value());
  EXPECT_EQ(out.str(), "");
}

struct ResolveRow {
  const char* name;
  const char* group;
  FileMap files;
  WeatherLookup::Kind kind;
  std::string weather_file;
  std::string output;
};

TEST_F(WeatherSelection, ResolveAnswersNotNamedSkippedOrFound) {
  using Kind = WeatherLookup::Kind;
  const ResolveRow rows[] = {
      {"no weather_files", R"({"base_json": ["m"]})", {}, Kind::NotNamed, "", ""},
      {"first element not a string", R"({"weather_files": [null]})", {}, Kind::NotNamed, "", ""},
      {"weather file missing",
       R"({"weather_files": ["w"]})",
       {{"weather_files/w.json", R"({"weather_file": "absent.epw"})"}},
       Kind::Skipped,
       "",
       "      ERROR: Weather file not found at '{weather}absent.epw'. Skipping this "
       "combination.\n"},
      {"found",
       R"({"weather_files": ["w"]})",
       {{"weather_files/w.json", kSampleWeather}, {"weather_files/sample.epw", "data"}},
       Kind::Found,
       "sample.epw",
       ""},
  };
  for (const ResolveRow& row : rows) {
    SCOPED_TRACE(row.name);
    write_all(row.files);
    std::ostringstream out;
    const auto lookup =
        resolve_weather_file(Json::parse(row.group), base(), system_files(), out);
    ASSERT_TRUE(lookup.has_value()) << lookup.error().message;
    EXPECT_EQ(lookup->kind, row.kind);
    EXPECT_EQ(lookup->weather_file, row.weather_file);
    const fs::path expected_path =
        row.kind == Kind::Found ? base() / "weather_files" / row.weather_file : fs::path();
    EXPECT_EQ(lookup->path, expected_path);
    EXPECT_EQ(out.str(), expand(row.output));
    fs::remove_all(base());
  }
}

TEST_F(WeatherSelection, ResolveNamesTheFileWhoseWeatherFileMemberIsUnusable) {
  const char* const documents[] = {R"({})", R"({"weather_file": 42})", R"({"weather_file": null})",
                                   R"("sample.epw")"};
  for (const char* document : documents) {
    SCOPED_TRACE(document);
    write_all({{"weather_files/w.json", document}});
    std::ostringstream out;
    const auto lookup = resolve_weather_file(Json::parse(R"({"weather_files": ["w"]})"), base(),
                                             system_files(), out);
    ASSERT_FALSE(lookup.has_value());
    EXPECT_EQ(lookup.error().message,
              expand("weather parameter file '{weather}w.json' has no string member "
                     "\"weather_file\""));
    EXPECT_EQ(out.str(), "");
  }
}

}  // namespace
}  // namespace native_runner
