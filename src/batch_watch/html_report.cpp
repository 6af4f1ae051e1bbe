#include "batch_watch/html_report.h"

#include <algorithm>
#include <fmt/format.h>

#include <sstream>

#include "batch_watch/record_time.h"

namespace batch_watch {
namespace {

constexpr int kHistogramBins = 10;
constexpr std::size_t kFlushAt = 1 << 20;
constexpr int kChartWidth = 600;
constexpr int kChartHeight = 160;

// Colours are part of the page's meaning: the legend repeats them.
constexpr const char* kStyle = R"(
body { font-family: sans-serif; margin: 24px; color: #222; background: #fff; }
h1 { font-size: 22px; margin: 0 0 12px; }
h2 { font-size: 17px; margin: 22px 0 8px; }
table { border-collapse: collapse; }
td, th { border: 1px solid #bbb; padding: 4px 10px; text-align: left; font-size: 14px; }
.cells { display: flex; flex-wrap: wrap; gap: 3px; max-width: 900px; }
.cell { width: 18px; height: 18px; border-radius: 2px; }
.legend span { display: inline-block; margin-right: 14px; font-size: 13px; }
.legend i { display: inline-block; width: 12px; height: 12px; margin-right: 4px; vertical-align: middle; }
.pending { background: #d8d8d8; }
.running { background: #f08c00; }
.succeeded { background: #2e9e44; }
.written { background: #3b7dd8; }
.resumed { background: #7ec4e8; }
.skipped { background: #e8c000; }
.failed { background: #d0312d; }
.state-complete { color: #2e9e44; }
.state-failed { color: #d0312d; }
svg text { font-size: 11px; fill: #444; }
)";

constexpr Outcome kLegend[] = {Outcome::Succeeded, Outcome::Written, Outcome::Resumed,
                               Outcome::Skipped,   Outcome::Failed,  Outcome::Running,
                               Outcome::Pending};

std::string totals_table(const BatchSummary& summary) {
  const Counts& c = summary.counts;
  std::string rows;
  const std::pair<const char*, std::uint64_t> items[] = {
      {"combinations", c.total}, {"done", c.done},         {"succeeded", c.succeeded},
      {"written", c.written},    {"resumed", c.resumed},   {"skipped", c.skipped},
      {"failed", c.failed},      {"running", c.running}};
  for (const auto& [name, value] : items) {
    rows += fmt::format("<tr><th>{}</th><td>{}</td></tr>\n", name, value);
  }
  if (summary.elapsed) {
    rows += fmt::format("<tr><th>elapsed</th><td>{}</td></tr>\n", format_span(*summary.elapsed));
  }
  if (summary.per_minute) {
    rows += fmt::format("<tr><th>runs per minute</th><td>{:.1f}</td></tr>\n", *summary.per_minute);
  }
  return "<table id=\"totals\">\n" + rows + "</table>\n";
}

std::string cell_title(const GroupCells& group, const Cell& cell) {
  std::string title = model_name(group, cell) + " - " + outcome_name(cell.outcome);
  if (cell.duration != kNoTime) title += " - " + format_span(cell.duration);
  return title;
}

// Written out as they are made: a million cells are a large page.
void group_sections(const BatchSummary& summary, std::string& out, std::ostream& stream) {
  out += "<div class=\"legend\">";
  for (Outcome outcome : kLegend) {
    out += fmt::format("<span><i class=\"{0}\"></i>{0}</span>", outcome_name(outcome));
  }
  out += "</div>\n";
  for (const GroupCells& group : summary.groups) {
    out += fmt::format("<section class=\"group\" data-group=\"{0}\">\n<h2>{0} ({1}/{2}{3})</h2>\n"
                       "<div class=\"cells\">\n",
                       escape_html(group.group), group.done, group.total,
                       group.sampled ? ", sampled" : "");
    const auto put = [&](std::string_view outcome, const std::string& title) {
      out += fmt::format("<div class=\"cell {}\" title=\"{}\"></div>\n", outcome,
                         escape_html(title));
      if (out.size() < kFlushAt) return;
      stream << out;
      out.clear();
    };
    for_each_cell(group, [&](const Cell& cell) {
      put(outcome_name(cell.outcome), cell_title(group, cell));
    });
    out += "</div>\n";
    if (group.unlisted() > 0) {
      out += fmt::format("<p class=\"unlisted\">and {} more {}combinations, pending: no record "
                         "named them yet</p>\n",
                         group.unlisted(), group.sampled ? "sampled " : "");
    }
    out += "</section>\n";
  }
}

std::string histogram(const std::vector<std::int64_t>& durations) {
  if (durations.empty()) return "<p id=\"histogram\">No simulation has finished.</p>\n";
  const auto [low_it, high_it] = std::minmax_element(durations.begin(), durations.end());
  const std::int64_t low = *low_it;
  const std::int64_t span = std::max<std::int64_t>(1, *high_it - low + 1);
  const int bins = static_cast<int>(std::min<std::int64_t>(kHistogramBins, span));
  const std::int64_t bin_width = (span + bins - 1) / bins;
  std::vector<int> counts(bins, 0);
  for (std::int64_t d : durations) ++counts[std::min<std::int64_t>(bins - 1, (d - low) / bin_width)];
  const int most = *std::max_element(counts.begin(), counts.end());
  const int bar_width = kChartWidth / bins;
  std::string out = fmt::format(
      "<svg id=\"histogram\" width=\"{}\" height=\"{}\">\n",
      kChartWidth, kChartHeight + 34);
  for (int i = 0; i < bins; ++i) {
    const int height = counts[i] * kChartHeight / most;
    const std::int64_t from = low + i * bin_width;
    const std::int64_t to = from + bin_width - 1;
    const std::string range = bin_width == 1 ? format_span(from)
                                             : format_span(from) + "-" + format_span(to);
    out += fmt::format(
        "<rect class=\"bar\" x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\" fill=\"#6c5fb5\">"
        "<title>{}: {} run(s)</title></rect>\n<text x=\"{}\" y=\"{}\">{}</text>\n",
        i * bar_width + 1, kChartHeight + 14 - height, bar_width - 2, height, range, counts[i],
        i * bar_width + 2, kChartHeight + 28, range);
    if (counts[i] > 0) {
      out += fmt::format("<text x=\"{}\" y=\"{}\">{}</text>\n", i * bar_width + 4,
                         kChartHeight + 11 - height, counts[i]);
    }
  }
  return out + "</svg>\n";
}

std::string error_table(const BatchSummary& summary) {
  if (summary.errors.empty()) return "<p id=\"errors\">No errors were logged.</p>\n";
  std::string out =
      "<table id=\"errors\">\n<tr><th>time</th><th>job</th><th>code</th><th>model</th>"
      "<th>message</th></tr>\n";
  for (const ErrorEntry& e : summary.errors) {
    out += fmt::format("<tr><td>{}</td><td>{}</td><td>{}</td><td>{}</td><td>{}</td></tr>\n",
                       escape_html(e.timestamp), escape_html(e.job_id), escape_html(e.code),
                       escape_html(e.model_name), escape_html(e.message));
  }
  return out + "</table>\n";
}

}  // namespace

std::string escape_html(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += ch;
    }
  }
  return out;
}

void write_html_report(const BatchSummary& summary, const std::string& generated_at,
                       std::ostream& stream) {
  const std::string state = batch_state_name(summary.state);
  std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  page += "<title>Batch report: " + escape_html(summary.output_dir) + "</title>\n";
  page += "<style>";
  page += kStyle;
  page += "</style>\n</head>\n<body>\n";
  page += "<h1>Batch report: " + escape_html(summary.output_dir) + " <span id=\"state\" class=\"state-" +
          state + "\">" + state + "</span></h1>\n";
  page += "<p>Generated " + escape_html(generated_at) + " from " +
          std::to_string(summary.job_ids.size()) + " job(s).</p>\n";
  page += "<h2>Totals</h2>\n" + totals_table(summary);
  page += "<h2>Combinations</h2>\n";
  group_sections(summary, page, stream);
  page += "<h2>Simulation durations</h2>\n" + histogram(summary.durations);
  page += "<h2>Errors</h2>\n" + error_table(summary);
  stream << page << "</body>\n</html>\n";
}

std::string render_html_report(const BatchSummary& summary, const std::string& generated_at) {
  std::ostringstream page;
  write_html_report(summary, generated_at, page);
  return page.str();
}

}  // namespace batch_watch
