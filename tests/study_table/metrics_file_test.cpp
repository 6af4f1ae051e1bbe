#include "study_table/metrics_file.h"

#include <gtest/gtest.h>

namespace study_table {
namespace {

TEST(MetricsFile, ReadsEveryKindInFileOrder) {
  const auto metrics = parse_metrics(R"({"metrics": [
    {"name": "heat_demand", "file": "*__summary.csv", "section": "Energy Demand Summary",
     "row": "Space heat demand", "column": "Total"},
    {"name": "import_kwh", "file": "*__summary.csv", "row": "Net import", "column": 4},
    {"name": "pump_kwh_sum", "file": "*__results.csv", "column": "pump: energy", "reduce": "sum"},
    {"name": "peak_w", "file": "out/summary.json", "pointer": "/peak/value"}]})");
  ASSERT_TRUE(metrics.has_value()) << metrics.error().message;
  ASSERT_EQ(metrics->size(), 4u);
  const Metric& heat = (*metrics)[0];
  EXPECT_EQ(heat.kind, Metric::Kind::SummaryCell);
  EXPECT_EQ(heat.section, "Energy Demand Summary");
  EXPECT_EQ(heat.column.describe(), "column \"Total\"");
  EXPECT_TRUE(heat.file.matches("deep/house__summary.csv"));
  EXPECT_EQ((*metrics)[1].section, std::nullopt);
  EXPECT_EQ((*metrics)[1].column.index, 4u);
  EXPECT_EQ((*metrics)[2].kind, Metric::Kind::Reduction);
  EXPECT_EQ((*metrics)[2].reduction, Reduction::Sum);
  EXPECT_EQ((*metrics)[3].kind, Metric::Kind::JsonValue);
  EXPECT_EQ((*metrics)[3].pointer.to_string(), "/peak/value");
  EXPECT_TRUE(parse_metrics(R"({"metrics": []})").has_value());
}

TEST(MetricsFile, NamesTheMetricAndTheFault) {
  const auto entry = [](const std::string& body) {
    return R"({"metrics": [{"name": "ok", "file": "a.csv", "row": "r", "column": 1}, )" + body +
           "]}";
  };
  const struct {
    std::string text;
    std::string error;
  } rows[] = {
      {"{", "not valid JSON: EOF while parsing an object at line 1 column 2"},
      {R"({"metric": []})", "needs an array \"metrics\" at the top level"},
      {entry("7"), "metric 2 is not an object"},
      {entry(R"({"file": "a.csv", "row": "r", "column": 1})"), "metric 2 has no \"name\" text"},
      {entry(R"({"name": "x", "row": "r", "column": 1})"), "metric \"x\": has no \"file\" text"},
      {entry(R"({"name": "ok", "file": "b.csv", "pointer": "/a"})"), "metric \"ok\" is defined twice"},
      {entry(R"({"name": "x", "file": "a.csv", "column": "c", "reduce": "avg"})"),
       "metric \"x\": unknown \"reduce\" \"avg\" (sum, mean, min, max, first, last or count)"},
      {entry(R"({"name": "x", "file": "/abs.csv", "row": "r", "column": 1})"),
       "metric \"x\": " + common::PathPattern::parse("/abs.csv").error().message},
      {entry(R"({"name": "x", "file": "a.json", "pointer": "a"})"),
       "metric \"x\": \"a\" is not a JSON pointer (empty, or '/' before each member name)"},
      {entry(R"({"name": "x", "file": "a.csv", "column": 1})"),
       "metric \"x\": needs \"row\" and \"column\" (a summary cell), \"column\" and \"reduce\" (a "
       "time series) or \"pointer\" (a JSON value)"},
      {entry(R"({"name": "x", "file": "a.csv", "row": "r", "column": -1})"),
       "metric \"x\": needs a \"column\": a header name or a 0-based index"},
      {entry(R"({"name": "x", "file": "a.csv", "row": "r", "column": 1, "colum": 2})"),
       "metric \"x\": unknown member \"colum\""},
      {entry(R"({"name": "x", "file": "a.csv", "row": "r", "column": 1, "reduce": "sum"})"),
       "metric \"x\": \"row\" does not go with \"reduce\""},
      // One line on the console, whatever the names hold.
      {entry(R"({"name": "a\nb", "file": "a\tb.csv", "row": "r", "column": 1, "f\ru": 2})"),
       "metric \"a\\nb\": unknown member \"f\\ru\""},
      {entry(R"({"name": "y", "file": "a\nb/", "pointer": "/p"})"),
       [] {
         std::string why = common::PathPattern::parse("a\nb/").error().message;
         return "metric \"y\": " + why.replace(why.find('\n'), 1, "\\x0a");
       }()},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    const auto metrics = parse_metrics(row.text);
    ASSERT_FALSE(metrics.has_value());
    EXPECT_EQ(metrics.error().message, row.error);
  }
}

}  // namespace
}  // namespace study_table
