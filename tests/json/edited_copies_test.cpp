#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "json/json_identical.h"
#include "json/json_reader.h"
#include "json/json_writer.h"
#include "json/pretty_texts.h"

namespace json_text {
namespace {

// A base model in miniature: pieces above, at and below the depth that is compared whole.
const char* const kOriginal = R"({
  "Zone": {"lounge": {"area": 20.0, "BuildingElement": {"wall": {"u_value": 0.3, "tags": [1, 2.5]}},
                      "empty": {}},
           "hall": {"area": 8}},
  "Gains": {"schedule": [0.0, -0.0, 1.0, 1e-7, 1e300]},
  "Name": "semi \"detached\"",
  "Flags": {"on": true, "off": false, "none": null}
})";

// Edits a combination might make, including those the library's == does not see (1 for 1.0,
// -0.0 for 0.0).
const struct {
  const char* what;
  std::function<void(Json&)> edit;
} kEdits[] = {
    {"unchanged", [](Json&) {}},
    {"deep float",
     [](Json& v) { v["Zone"]["lounge"]["BuildingElement"]["wall"]["u_value"] = 0.15; }},
    {"float to integer of one value", [](Json& v) { v["Zone"]["lounge"]["area"] = 20; }},
    {"integer to float of one value", [](Json& v) { v["Zone"]["hall"]["area"] = 8.0; }},
    {"zero to minus zero", [](Json& v) { v["Gains"]["schedule"][0] = -0.0; }},
    {"deep array element",
     [](Json& v) { v["Zone"]["lounge"]["BuildingElement"]["wall"]["tags"][1] = "x"; }},
    {"member added at the top",
     [](Json& v) {
       v["Added"] = {{"k", 1}};
     }},
    {"member added deep", [](Json& v) { v["Zone"]["lounge"]["BuildingElement"]["door"] = 2; }},
    {"member removed", [](Json& v) { v["Zone"].erase("hall"); }},
    {"object emptied", [](Json& v) { v["Zone"]["lounge"] = Json::object(); }},
    {"empty object filled", [](Json& v) { v["Zone"]["lounge"]["empty"]["x"] = 1; }},
    {"object to array",
     [](Json& v) {
       v["Flags"] = Json::array({1, 2});
     }},
    {"scalar to object",
     [](Json& v) {
       v["Name"] = {{"first", "semi"}};
     }},
    {"string changed", [](Json& v) { v["Name"] = "terrace\n"; }},
    {"boolean and null",
     [](Json& v) {
       v["Flags"]["on"] = false;
       v["Flags"]["none"] = 0;
     }},
    {"whole document replaced", [](Json& v) { v = Json::array({1.0}); }},
    {"document emptied", [](Json& v) { v = Json::object(); }},
};

TEST(PrettyTexts, EditedCopiesAreWrittenAsThePlainWriterWritesThem) {
  auto original = std::make_shared<const Json>(*parse_json(kOriginal));
  const PrettyTexts texts(original);
  for (const auto& row : kEdits) {
    Json edited = *original;
    row.edit(edited);
    EXPECT_EQ(texts.write(edited), to_pretty_json(edited)) << row.what;
  }
}

// One copy goes through every edit in turn, mended after each: the next edit starts from a
// copy that must be the original again, to its last bit.
TEST(RestoreJson, AnEditedCopyIsMendedToTheOriginal) {
  const Json original = *parse_json(kOriginal);
  const std::string text = to_pretty_json(original);
  Json copy = original;
  for (const auto& row : kEdits) {
    row.edit(copy);
    restore(copy, original);
    EXPECT_TRUE(identical(copy, original)) << row.what;
    EXPECT_EQ(to_pretty_json(copy), text) << row.what;
  }
}

}  // namespace
}  // namespace json_text
