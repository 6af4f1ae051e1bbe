#include "json/pretty_texts.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "json/json_reader.h"
#include "json/json_writer.h"

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

// Every edited copy is written exactly as the plain writer writes it, including the edits the
// library's == does not see (1 for 1.0, -0.0 for 0.0).
TEST(PrettyTexts, EditedCopiesAreWrittenAsThePlainWriterWritesThem) {
  auto original = std::make_shared<const Json>(*parse_json(kOriginal));
  const PrettyTexts texts(original);
  const struct {
    const char* what;
    std::function<void(Json&)> edit;
  } kEdits[] = {
      {"unchanged", [](Json&) {}},
      {"deep float", [](Json& v) { v["Zone"]["lounge"]["BuildingElement"]["wall"]["u_value"] = 0.15; }},
      {"float to integer of one value", [](Json& v) { v["Zone"]["lounge"]["area"] = 20; }},
      {"integer to float of one value", [](Json& v) { v["Zone"]["hall"]["area"] = 8.0; }},
      {"zero to minus zero", [](Json& v) { v["Gains"]["schedule"][0] = -0.0; }},
      {"deep array element", [](Json& v) {
         v["Zone"]["lounge"]["BuildingElement"]["wall"]["tags"][1] = "x";
       }},
      {"member added at the top", [](Json& v) { v["Added"] = {{"k", 1}}; }},
      {"member added deep", [](Json& v) { v["Zone"]["lounge"]["BuildingElement"]["door"] = 2; }},
      {"member removed", [](Json& v) { v["Zone"].erase("hall"); }},
      {"object emptied", [](Json& v) { v["Zone"]["lounge"] = Json::object(); }},
      {"empty object filled", [](Json& v) { v["Zone"]["lounge"]["empty"]["x"] = 1; }},
      {"object to array", [](Json& v) { v["Flags"] = Json::array({1, 2}); }},
      {"scalar to object", [](Json& v) { v["Name"] = {{"first", "semi"}}; }},
      {"string changed", [](Json& v) { v["Name"] = "terrace\n"; }},
      {"boolean and null", [](Json& v) {
         v["Flags"]["on"] = false;
         v["Flags"]["none"] = 0;
       }},
      {"whole document replaced", [](Json& v) { v = Json::array({1.0}); }},
      {"document emptied", [](Json& v) { v = Json::object(); }},
  };
  for (const auto& row : kEdits) {
    Json edited = *original;
    row.edit(edited);
    EXPECT_EQ(texts.write(edited), to_pretty_json(edited)) << row.what;
  }
}

}  // namespace
}  // namespace json_text
