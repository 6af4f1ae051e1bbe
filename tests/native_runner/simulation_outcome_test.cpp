#include "native_runner/simulation_outcome.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "json/json.h"

namespace native_runner {
namespace {

using json_text::Json;

SimulationInputs example_inputs() {
  return describe_simulation("sim", "g_0", R"({"a": 1})", "/ws/site.epw", "weather",
                             {"--heat-balance", "--future-weather"});
}

// The whole record, byte for byte; the fingerprint was computed apart from this code, from the
// length-prefixed serialisation the README describes.
TEST(SimulationOutcomeTest, RendersTheDocumentedRecord) {
  EXPECT_EQ(render_outcome(example_inputs(), {"2026-12-06T10:03:33Z", 0.5124, 3}),
            R"({
  "format": 1,
  "config_name": "sim",
  "model_name": "g_0",
  "variant_sha256": "f9d86028c6e0d64e225186f96acb69338b2c59764df79162107f5c4bb34d1310",
  "weather_file": "/ws/site.epw",
  "weather_sha256": "e5e72beb4e3c6926d3dc9e3e2ef7833ba50cd919c2460a782b244fd071e920de",
  "engine_options": [
    "--heat-balance",
    "--future-weather"
  ],
  "fingerprint": "f3df5b7d727e92bd308af44269ac5495a099b8723139748992e15a7622b6e970",
  "completed_at": "2026-12-06T10:03:33Z",
  "duration_s": 0.512,
  "attempts": 3
})");
}

TEST(SimulationOutcomeTest, ReadsBackWhatItWrites) {
  const std::vector<SimulationInputs> cases = {
      example_inputs(),
      describe_simulation("", "", "", "", "", {}),
      describe_simulation("c\"fg", "g\\1", "x", "C:\\w\u00e9ather\n.epw", "", {""}),
  };
  for (const auto& inputs : cases) {
    const std::string text = render_outcome(inputs, {"2026-01-01T00:00:00Z"});
    const auto outcome = parse_outcome(text);
    ASSERT_TRUE(outcome) << outcome.error().message;
    EXPECT_EQ(outcome->inputs, inputs) << text;
    EXPECT_EQ(outcome->fingerprint, outcome_fingerprint(inputs));
    EXPECT_EQ(outcome->completed_at, "2026-01-01T00:00:00Z");
    EXPECT_EQ(outcome->duration_s, 0.0);
    EXPECT_EQ(outcome->attempts, 1u);
    EXPECT_TRUE(outcome_matches(text, inputs)) << text;
  }
}

// A change in any one input means the earlier run simulated something else.
TEST(SimulationOutcomeTest, AChangeInAnyInputBreaksTheMatch) {
  const auto make = [](std::function<void(std::vector<std::string>&)> edit) {
    // config, model, variant text, weather path, weather bytes
    std::vector<std::string> parts = {"sim", "g_0", R"({"a": 1})", "/ws/site.epw", "weather"};
    edit(parts);
    return parts;
  };
  struct Case {
    std::string name;
    std::vector<std::string> parts;
    std::vector<std::string> options;
  };
  const std::vector<std::string> options = {"--heat-balance", "--future-weather"};
  const std::vector<Case> cases = {
      {"config name", make([](auto& p) { p[0] = "sim2"; }), options},
      {"model name", make([](auto& p) { p[1] = "g_1"; }), options},
      {"variant bytes", make([](auto& p) { p[2] = R"({"a": 2})"; }), options},
      {"variant whitespace", make([](auto& p) { p[2] = R"({"a":1})"; }), options},
      {"weather path", make([](auto& p) { p[3] = "/ws/other.epw"; }), options},
      {"weather contents", make([](auto& p) { p[4] = "weather2"; }), options},
      {"option dropped", make([](auto&) {}), {"--heat-balance"}},
      {"option added", make([](auto&) {}), {"--heat-balance", "--future-weather", "--x"}},
      {"options reordered", make([](auto&) {}), {"--future-weather", "--heat-balance"}},
      {"no options", make([](auto&) {}), {}},
  };
  const std::string record = render_outcome(example_inputs(), {"2026-12-06T10:03:33Z"});
  for (const auto& c : cases) {
    const SimulationInputs changed =
        describe_simulation(c.parts[0], c.parts[1], c.parts[2], c.parts[3], c.parts[4], c.options);
    EXPECT_FALSE(outcome_matches(record, changed)) << c.name;
    EXPECT_NE(outcome_fingerprint(changed), outcome_fingerprint(example_inputs())) << c.name;
  }
}

// Inputs whose texts run together the same way must still differ.
TEST(SimulationOutcomeTest, FingerprintKeepsFieldBoundaries) {
  const std::vector<std::pair<SimulationInputs, SimulationInputs>> pairs = {
      {describe_simulation("ab", "c", "v", "w", "x", {}),
       describe_simulation("a", "bc", "v", "w", "x", {})},
      {describe_simulation("c", "m", "v", "w", "x", {"a b"}),
       describe_simulation("c", "m", "v", "w", "x", {"a", "b"})},
      {describe_simulation("c", "m", "v", "w", "x", {}),
       describe_simulation("c", "m", "v", "w", "x", {""})},
      {describe_simulation("c", "m", "v", "w\n", "x", {}),
       describe_simulation("c", "m", "v", "w", "x", {"\n"})},
  };
  for (const auto& [a, b] : pairs) {
    EXPECT_NE(outcome_fingerprint(a), outcome_fingerprint(b));
  }
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return text.replace(at, from.size(), to);
}

// The record with one member changed; member order does not matter to the reader.
std::string edited(const std::string& text, const std::function<void(Json&)>& edit) {
  Json record = Json::parse(text);
  edit(record);
  return record.dump();
}

// Damaged, foreign or tampered records never count as a success.
TEST(SimulationOutcomeTest, DamagedOrForeignRecordsNeverMatch) {
  const SimulationInputs inputs = example_inputs();
  const std::string good = render_outcome(inputs, {"2026-12-06T10:03:33Z"});
  const std::string other_fingerprint =
      outcome_fingerprint(describe_simulation("sim", "g_1", "v", "w", "x", {}));
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"empty file", ""},
      {"not JSON", "succeeded"},
      {"an array", "[1]"},
      {"format 2", replaced(good, "\"format\": 1", "\"format\": 2")},
      {"format as text", replaced(good, "\"format\": 1", "\"format\": \"1\"")},
      {"format as float", replaced(good, "\"format\": 1", "\"format\": 1.0")},
      {"no format", replaced(good, "\"format\": 1,", "")},
      {"fingerprint of another run",
       replaced(good, outcome_fingerprint(inputs), other_fingerprint)},
      {"no fingerprint", replaced(good, "\"fingerprint\"", "\"fingerprint_\"")},
      {"no completion time", replaced(good, ",\n  \"completed_at\": \"2026-12-06T10:03:33Z\"", "")},
      {"options not an array",
       edited(good, [](Json& r) { r["engine_options"] = "--heat-balance"; })},
      {"model name a number", edited(good, [](Json& r) { r["model_name"] = 0; })},
      {"option not text", replaced(good, "\"--heat-balance\"", "7")},
      {"model field edited", replaced(good, "\"g_0\"", "\"g_00\"")},
  };
  for (const auto& [name, text] : cases) {
    EXPECT_FALSE(outcome_matches(text, inputs)) << name << "\n" << text;
  }
  // Cut short anywhere, as by a write that never finished.
  for (std::size_t length = 0; length < good.size(); ++length) {
    EXPECT_FALSE(outcome_matches(good.substr(0, length), inputs)) << "cut at " << length;
  }
  EXPECT_TRUE(outcome_matches(good, inputs));
}

TEST(SimulationOutcomeTest, ParseErrorsNameTheProblem) {
  const std::string good = render_outcome(example_inputs(), {"2026-12-06T10:03:33Z"});
  const std::vector<std::pair<std::string, std::string>> cases = {
      {replaced(good, "\"format\": 1", "\"format\": 2"), "outcome record is not of format 1"},
      {replaced(good, "\"weather_file\"", "\"weather\""),
       "outcome record has no text member \"weather_file\""},
      {replaced(good, "\"--heat-balance\"", "null"), "outcome record has a non-text engine option"},
      {replaced(good, "\"duration_s\": 0.000", "\"duration_s\": \"0\""),
       "outcome record has a member \"duration_s\" that is no number"},
      {replaced(good, "\"attempts\": 1", "\"attempts\": 1.5"),
       "outcome record has a member \"attempts\" that is no whole number"},
  };
  for (const auto& [text, message] : cases) {
    const auto outcome = parse_outcome(text);
    ASSERT_FALSE(outcome) << message;
    EXPECT_EQ(outcome.error().message, message);
  }
}

// How long the run took and how many attempts it needed say nothing about what was simulated:
// records of earlier versions, without them, still match, and so do records of a slower run.
TEST(SimulationOutcomeTest, DurationAndAttemptsAreReadButNeverMatched) {
  const SimulationInputs inputs = example_inputs();
  const std::string slow = render_outcome(inputs, {"2026-12-06T10:03:33Z", 12.25, 3});
  const std::string older = replaced(slow, ",\n  \"duration_s\": 12.250,\n  \"attempts\": 3", "");
  const auto read = parse_outcome(slow);
  ASSERT_TRUE(read) << read.error().message;
  EXPECT_EQ(read->duration_s, 12.25);
  EXPECT_EQ(read->attempts, 3u);
  const auto read_older = parse_outcome(older);
  ASSERT_TRUE(read_older) << read_older.error().message;
  EXPECT_EQ(read_older->duration_s, std::nullopt);
  EXPECT_EQ(read_older->attempts, std::nullopt);
  EXPECT_TRUE(outcome_matches(slow, inputs));
  EXPECT_TRUE(outcome_matches(older, inputs));
  EXPECT_EQ(read->fingerprint, read_older->fingerprint);
}

}  // namespace
}  // namespace native_runner
