#include "batch_watch/record_fields.h"

#include <gtest/gtest.h>

#include <string>

#include "json/json_reader.h"
#include "support/batch_records.h"

namespace batch_watch {
namespace {

std::string describe(const std::optional<RecordFields>& f) {
  if (!f) return "not a record";
  const auto count = [](const std::optional<std::uint64_t>& n) {
    return n ? std::to_string(*n) : std::string("-");
  };
  return std::string(f->timestamp) + "|" + std::string(f->event_type) + "|" +
         std::string(f->error_code) + "|" + std::string(f->error_message) + "|" +
         std::string(f->model_name) + "|" + std::string(f->config_name) + "|" +
         count(f->combination_index) + "|" + count(f->total_combinations);
}

// The meaning the full JSON reader gives a line, member by member.
std::string as_the_full_reader_reads(std::string_view line) {
  const auto parsed = json_text::parse_json(line);
  if (!parsed || !parsed->is_object()) return "not a record";
  const auto text = [&](const char* key) {
    const auto found = parsed->find(key);
    return found != parsed->end() && found->is_string() ? found->get<std::string>() : "";
  };
  const auto count = [&](const char* key) {
    const auto found = parsed->find(key);
    return found != parsed->end() && found->is_number_unsigned()
               ? std::to_string(found->get<std::uint64_t>())
               : std::string("-");
  };
  return text("timestamp") + "|" + text("event_type") + "|" + text("error_code") + "|" +
         text("error_message") + "|" + text("model_name") + "|" + text("config_name") + "|" +
         count("combination_index") + "|" + count("total_combinations");
}

// Lines are read in place where they have the batch's flat shape; whatever the way, a line means
// what the full reader makes of it.
TEST(RecordFieldReader, ReadsEveryLineAsTheFullReaderDoes) {
  const std::string event = test_support::event(7, "MODEL_START", "g_3", 3, 9);
  const std::string error = test_support::error(7, "SIMULATION_FAILED", "g_3", 3, 9);
  const struct {
    std::string line;
    std::string expected;
  } cases[] = {
      {event.substr(0, event.size() - 1),
       "2026-12-06T10:00:07Z|MODEL_START|||g_3|cfg|3|9"},
      {error.substr(0, error.size() - 1),
       "2026-12-06T10:00:07Z||SIMULATION_FAILED|Simulation failed: exit \"3\"|g_3|cfg|3|9"},
      {R"({"model_name":"a","model_name":"b","combination_index":1,"combination_index":"x"})",
       "||||b||-|-"},
      {R"({"model_name":"a","model_name":5})", "||||||-|-"},
      {R"( { "event_type" : "X" , "total_combinations" : 0 } )", "|X|||||-|0"},
      {R"({"combination_index":18446744073709551615})", "||||||18446744073709551615|-"},
      {R"({"combination_index":18446744073709551616})", "||||||-|-"},
      {R"({"combination_index":12345678901234567890123,"model_name":"h_12345678901234567890123"})",
       "||||h_12345678901234567890123||-|-"},
      {R"({"combination_index":-1,"total_combinations":1.0})", "||||||-|-"},
      {R"({"combination_index":1e2,"model_name":"caf\u00e9"})", "||||café||-|-"},
      {"{\"model_name\":\"caf\xc3\xa9\",\"a\":true,\"b\":null,\"c\":false}", "||||café||-|-"},
      {"{}", "||||||-|-"},
      {R"({"combination_index":01})", "not a record"},
      {"{\"model_name\":\"caf\xc3\"}", "not a record"},
      {"{\"model_name\":\"a\tb\"}", "not a record"},
      {R"({"a":tru})", "not a record"},
      {R"({"a":1,})", "not a record"},
      {R"({"a":1} x)", "not a record"},
      {R"({"a":"b)", "not a record"},
      {"[1]", "not a record"},
      {"", "not a record"},
  };
  RecordFieldReader reader;
  for (const auto& c : cases) {
    EXPECT_EQ(describe(reader.read(c.line)), c.expected) << c.line;
    EXPECT_EQ(describe(reader.read(c.line)), as_the_full_reader_reads(c.line)) << c.line;
  }
}

}  // namespace
}  // namespace batch_watch
