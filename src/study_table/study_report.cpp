#include "study_table/study_report.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "batch_watch/html_report.h"
#include "platform/file_system.h"
#include "study_table/effect_chart.h"

namespace study_table {
namespace {

using batch_watch::escape_html;

constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 24px; color: #222; background: #fff; }
h1 { font-size: 22px; margin: 0 0 12px; }
h2 { font-size: 17px; margin: 26px 0 8px; }
table { border-collapse: collapse; }
td, th { border: 1px solid #bbb; padding: 3px 8px; text-align: left; font-size: 13px; }
#counts th, #counts td { font-size: 14px; padding: 4px 10px; }
.panels { display: flex; flex-wrap: wrap; gap: 12px; }
svg.effect { border: 1px solid #ddd; background: #fcfcfc; }
svg text { font-size: 11px; fill: #333; }
svg .title { font-size: 13px; font-weight: bold; }
svg .axis { stroke: #888; stroke-width: 1; }
svg .grid { stroke: #e6e6e6; stroke-width: 1; }
svg .whisker { stroke: #1f5fa8; stroke-width: 2; }
svg .mean { fill: #d9480f; }
.succeeded { color: #2e9e44; } .failed { color: #d0312d; } .stale { color: #b07d00; }
.written { color: #3b7dd8; } .not_run { color: #777; }
.note { color: #666; font-size: 13px; }
)";

std::string counts_table(const StudyTable& table) {
  std::string rows = fmt::format("<tr><th>rows</th><td>{}</td></tr>\n", table.rows);
  for (const Status status : kStatuses) {
    const auto name = status_name(status);
    rows += fmt::format("<tr><th class=\"{}\">{}</th><td>{}</td></tr>\n", name, name,
                        table.count(status));
  }
  return "<table id=\"counts\">\n" + rows + "</table>\n";
}

std::string effect_sections(const StudyTable& table) {
  const MainEffects& effects = *table.effects;
  if (effects.metrics().empty()) return "<p class=\"note\">No metrics were asked for.</p>\n";
  std::string page;
  for (std::size_t metric = 0; metric < effects.metrics().size(); ++metric) {
    const std::string& name = effects.metrics()[metric];
    page += "<h2>Main effects on " + escape_html(name) + "</h2>\n<div class=\"panels\">\n";
    for (std::size_t key = 0; key < effects.keys().size(); ++key) {
      page += render_effect_chart(name, effects.keys()[key], effects.levels(metric, key));
    }
    if (effects.keys().empty()) page += "<p class=\"note\">The batch has no parameter keys.</p>\n";
    page += "</div>\n";
  }
  return page;
}

std::string rows_table(const StudyTable& table) {
  std::string page = "<table id=\"rows\">\n<tr>";
  for (const std::string& name : table.header) page += "<th>" + escape_html(name) + "</th>";
  page += "</tr>\n";
  for (const auto& row : table.first_rows) {
    page += "<tr>";
    for (const std::string& cell : row) page += "<td>" + escape_html(cell) + "</td>";
    page += "</tr>\n";
  }
  page += "</table>\n";
  if (table.rows > table.first_rows.size()) {
    page += fmt::format("<p class=\"note\">{} more rows are in the table file.</p>\n",
                        table.rows - table.first_rows.size());
  }
  return page;
}

}  // namespace

std::string render_study_report(const StudyTable& table) {
  const std::string title = "Study table: " + escape_html(table.config_name);
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<title>" + title + "</title>\n<style>" + std::string(kStyle) + "</style>\n</head>\n<body>\n";
  page += "<h1>" + title + "</h1>\n";
  page += "<p class=\"note\">Table file: " + escape_html(platform::path_text(table.table_path)) +
          "</p>\n";
  page += counts_table(table);
  page += "<p class=\"note\">Each panel shows, for every value of one parameter key, the mean "
          "of the metric over the succeeded rows with that value (dot), its minimum and maximum "
          "(whisker) and the number of rows (n).</p>\n";
  page += effect_sections(table);
  page += "<h2>Rows</h2>\n" + rows_table(table);
  page += "</body>\n</html>\n";
  return page;
}

}  // namespace study_table
