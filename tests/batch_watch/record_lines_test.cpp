#include "batch_watch/record_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch_watch/record_time.h"
#include "support/batch_records.h"

namespace batch_watch {
namespace {

using test_support::event;

std::vector<std::string> types(const std::vector<json_text::Json>& records) {
  std::vector<std::string> out;
  for (const auto& record : records) out.push_back(record.value("event_type", "?"));
  return out;
}

// A log read while the runner appends to it: only whole lines count, a torn one is passed over.
TEST(CompleteRecords, KeepsWholeObjectLinesOnly) {
  const std::string start = event(0, "BATCH_START");
  const std::string model = event(1, "MODEL_START", "g_0", 0, 2);
  const struct {
    std::string text;
    std::vector<std::string> expected;
  } cases[] = {
      {"", {}},
      {start, {"BATCH_START"}},
      {start + model.substr(0, 30), {"BATCH_START"}},                // last line still coming
      {start + model.substr(0, model.size() - 1), {"BATCH_START"}},  // all but its line feed
      {start + "\n\n" + model, {"BATCH_START", "MODEL_START"}},
      {start.substr(0, start.size() - 1) + "\r\n" + model, {"BATCH_START", "MODEL_START"}},
      {start.substr(0, 25) + "\n" + model, {"MODEL_START"}},  // a torn line in the middle
      {"[1,2]\n\"text\"\nnot json\n" + model, {"MODEL_START"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(types(complete_records(c.text)), c.expected) << c.text;
  }
}

// A snapshot rewritten in place is read as empty, as a prefix, or whole.
TEST(SnapshotRecord, OnlyAWholeObjectCounts) {
  const std::string whole = test_support::progress(3, 1, 4, "g_0", "Processing model");
  for (std::size_t cut : {std::size_t{0}, std::size_t{1}, whole.size() / 2, whole.size() - 1}) {
    EXPECT_FALSE(snapshot_record(whole.substr(0, cut)).has_value()) << cut;
  }
  EXPECT_FALSE(snapshot_record("null").has_value());
  const auto read = snapshot_record(whole);
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->value("total_combinations", 0), 4);
}

TEST(RecordTime, ParsesOnlyTheRecordFormAndFormatsSpans) {
  EXPECT_EQ(parse_record_time("1970-01-01T00:00:00Z"), 0);
  EXPECT_EQ(parse_record_time("2026-12-06T10:03:33Z"), 1796551413);
  EXPECT_EQ(format_record_time(1796551413), "2026-12-06T10:03:33Z");
  for (const char* bad : {"", "2026-12-06T10:03:33", "2026-13-06T10:03:33Z", "2026-02-30T10:03:33Z",
                          "2026-12-06 10:03:33Z", "2026-12-06T1a:03:33Z"}) {
    EXPECT_FALSE(parse_record_time(bad).has_value()) << bad;
  }
  const std::pair<std::int64_t, const char*> spans[] = {
      {-5, "0s"}, {0, "0s"}, {59, "59s"}, {60, "1:00"}, {3599, "59:59"}, {3600, "1:00:00"},
      {90061, "25:01:01"}};
  for (const auto& [seconds, text] : spans) EXPECT_EQ(format_span(seconds), text);
}

}  // namespace
}  // namespace batch_watch
