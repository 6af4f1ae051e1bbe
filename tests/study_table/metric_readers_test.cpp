// The three ways a metric finds its value in an engine's file: a cell of a sectioned summary, a
// reduction over a time-series column, a value behind a JSON pointer.
#include <gtest/gtest.h>

#include <string>

#include "study_table/json_lookup.h"
#include "study_table/summary_csv.h"
#include "study_table/time_series.h"

namespace study_table {
namespace {

// What a row of the tables below expects: the value, or (prefixed "!") the reason.
std::string outcome(const common::Result<std::string>& value) {
  return value ? *value : "!" + value.error().message;
}

ColumnRef named(const char* name) { return ColumnRef{name, std::nullopt}; }
ColumnRef at(std::size_t index) { return ColumnRef{"", index}; }

// A byte-order mark, CRLF lines, a title, a one-cell note, a header, quoted cells with a comma
// and a line break, a block without a title, a separator of commas.
const std::string kSummary =
    "\xEF\xBB\xBF"
    "Energy Demand Summary\r\n"
    "(annual figures)\r\n"
    ",Total, Peak ,Units\r\n"
    "Space heat demand, 4210.5 ,2.1,kWh\r\n"
    "\"Hot water, daily\",\"12\",\"line\nbreak\",kWh\r\n"
    "Empty,,1,kWh\r\n"
    "\r\n"
    "Delivered Energy\n"
    "Fuel,Total\n"
    "Space heat demand,999\n"
    ",,,\n"
    "Name,A,B,C,Import\n"
    "Net import,1,2,3,-17.25\n";

TEST(SummaryCsv, FindsTheCellOfARowInABlockOrSaysWhyNot) {
  const struct {
    std::optional<std::string> section;
    std::string row;
    ColumnRef column;
    std::string expected;
  } rows[] = {
      {"Energy Demand Summary", "Space heat demand", named("Total"), "4210.5"},
      {"Delivered Energy", "Space heat demand", named("Total"), "999"},
      {std::nullopt, "Space heat demand", named("Total"), "4210.5"},  // the first block's
      {std::nullopt, "Space heat demand", named("Peak"), "2.1"},
      {std::nullopt, "Hot water, daily", at(2), "line\nbreak"},
      {std::nullopt, "Net import", at(4), "-17.25"},
      {std::nullopt, "Net import", named("Import"), "-17.25"},
      {std::nullopt, "Net import", at(0), "Net import"},
      {"Nowhere", "Space heat demand", named("Total"), "!no section \"Nowhere\""},
      {"Delivered Energy", "Net import", at(1), "!no row \"Net import\" in section \"Delivered Energy\""},
      {std::nullopt, "(annual figures)", at(0), "!no row \"(annual figures)\""},
      {std::nullopt, "Space heat demand", named("Mean"), "!no column \"Mean\" beside row \"Space heat demand\""},
      {std::nullopt, "Net import", at(5), "!row \"Net import\" has no cell in column 5"},
      {std::nullopt, "Empty", named("Total"), "!row \"Empty\" is empty in column \"Total\""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.row + " / " + row.column.describe());
    EXPECT_EQ(outcome(find_summary_cell(kSummary, {row.section, row.row, row.column})),
              row.expected);
  }
}

// A header, a units line, steps with a blank, a text and a quoted cell in the column, a short
// line, and a quoted line break after the column, which must not start a step of its own.
const std::string kSeries =
    "time,\"pump: energy\",note\r\n"
    "h,kWh,\r\n"
    "0,1.5,a\r\n"
    "1,,b\r\n"
    "2,n/a,c\r\n"
    "3,\"2.5\",\"x\n4,100,y\"\r\n"
    "4\r\n"
    "5, -1 ,z";

TEST(TimeSeries, ReducesTheNumbersOfOneColumn) {
  const struct {
    ColumnRef column;
    const char* reduce;
    std::string expected;
  } rows[] = {
      {named("pump: energy"), "sum", "3"},
      {named("pump: energy"), "mean", "1"},
      {named("pump: energy"), "min", "-1"},
      {named("pump: energy"), "max", "2.5"},
      {named("pump: energy"), "first", "1.5"},
      {named("pump: energy"), "last", "-1"},
      {named("pump: energy"), "count", "3"},
      {at(0), "sum", "15"},
      {at(0), "count", "6"},
      {named("note"), "count", "0"},
      {named("note"), "max", "!no number in column \"note\""},
      {named("flow"), "sum", "!no column \"flow\" in the header"},
      {at(7), "sum", "!no number in column 7"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.column.describe() + " " + row.reduce);
    EXPECT_EQ(outcome(reduce_time_series(kSeries, row.column, *reduction_named(row.reduce))),
              row.expected);
  }
  EXPECT_EQ(outcome(reduce_time_series("", at(0), Reduction::Sum)), "!the file is empty");
  EXPECT_FALSE(reduction_named("avg").has_value());
  // Shortest text that reads back: a sum of tenths is not rounded to look nice.
  EXPECT_EQ(outcome(reduce_time_series("v\n0.1\n0.2\n", at(0), Reduction::Sum)),
            "0.30000000000000004");
}

TEST(JsonLookup, GivesNumbersTextAndBooleansAtAPointer) {
  const std::string document =
      R"({"peak": {"value": 5120.25, "at": "Jan 3"}, "ok": true, "runs": [7, -2], "none": null,
          "a/b": {"~": 1e30}})";
  const struct {
    const char* pointer;
    std::string expected;
  } rows[] = {
      {"/peak/value", "5120.25"},
      {"/peak/at", "Jan 3"},
      {"/ok", "true"},
      {"/runs/1", "-2"},
      {"/a~1b/~0", "1e+30"},
      {"/runs/9", "!no value at /runs/9"},
      {"/runs/x", "!no value at /runs/x"},
      {"/peak/missing", "!no value at /peak/missing"},
      {"/none", "!the value at /none is null, not a number, text or boolean"},
      {"/peak", "!the value at /peak is object, not a number, text or boolean"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.pointer);
    EXPECT_EQ(outcome(look_up_json(document, *parse_json_pointer(row.pointer))), row.expected);
  }
  EXPECT_EQ(outcome(look_up_json("{", *parse_json_pointer("/x"))).substr(0, 16), "!not valid JSON:");
  EXPECT_FALSE(parse_json_pointer("peak").has_value());
}

}  // namespace
}  // namespace study_table
