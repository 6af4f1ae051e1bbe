#include "batch_watch/live_view.h"

#include <algorithm>
#include <fmt/format.h>

#include "batch_watch/record_time.h"

namespace batch_watch {
namespace {

constexpr std::size_t kErrorsShown = 3;
constexpr std::size_t kRunningShown = 4;

std::uint64_t percent(const Counts& counts) {
  return counts.total == 0 ? 0 : std::min<std::uint64_t>(100, counts.done * 100 / counts.total);
}

std::string title(const BatchSummary& summary) {
  switch (summary.state) {
    case BatchState::Waiting: return "waiting for a batch";
    case BatchState::Running: return "running";
    case BatchState::Complete: return "batch complete";
    case BatchState::Failed: return "batch ended with failures";
  }
  return "";
}

Colour state_colour(BatchState state) {
  if (state == BatchState::Complete) return Colour::Green;
  if (state == BatchState::Failed) return Colour::Red;
  return Colour::Bold;
}

std::string jobs_note(const BatchSummary& summary) {
  const std::uint64_t jobs = summary.job_ids.size() + summary.shards_not_started;
  if (jobs <= 1) return "";
  return fmt::format("  ({} jobs, {} ended)", jobs, summary.ended_job_ids.size());
}

StyledLine bar_line(const BatchSummary& summary, int columns) {
  const Counts& c = summary.counts;
  const std::string tail = fmt::format(" {}/{} {:>3}%", c.done, c.total, percent(c));
  const int width = std::clamp(columns - 3 - static_cast<int>(tail.size()), 10, 60);
  const auto filled = c.total == 0 ? 0 : static_cast<int>(c.done * width / c.total);
  const auto failed = c.total == 0 ? 0
                                   : std::min(filled, static_cast<int>(
                                                          (c.failed * width + c.total - 1) / c.total));
  StyledLine line;
  line.add("[")
      .add(std::string(filled - failed, '#'), Colour::Green)
      .add(std::string(failed, '#'), Colour::Red)
      .add(std::string(width - filled, '.'), Colour::Dim)
      .add("]")
      .add(tail, Colour::Bold);
  return line;
}

// Counts in the order a reader looks for them; "written" replaces "succeeded" for batches that
// only build variants, and "running" only means something where engines run.
std::vector<std::pair<std::string, std::uint64_t>> count_items(const BatchSummary& summary) {
  const Counts& c = summary.counts;
  std::vector<std::pair<std::string, std::uint64_t>> items;
  if (summary.json_only) {
    items.emplace_back("written", c.written);
  } else {
    items.emplace_back("succeeded", c.succeeded + c.written);
  }
  if (c.resumed > 0) items.emplace_back("resumed", c.resumed);
  items.emplace_back("skipped", c.skipped);
  items.emplace_back("failed", c.failed);
  if (!summary.json_only) items.emplace_back("running", c.running);
  return items;
}

Colour count_colour(const std::string& name, std::uint64_t value) {
  if (value == 0) return Colour::None;
  if (name == "failed") return Colour::Red;
  if (name == "running" || name == "skipped") return Colour::Yellow;
  return Colour::Green;
}

std::string pace_text(const BatchSummary& summary) {
  if (!summary.per_minute) return "pace not known yet";
  std::string text = fmt::format("{:.1f}/min", *summary.per_minute);
  if (summary.elapsed) text += "  elapsed " + format_span(*summary.elapsed);
  if (summary.seconds_left && !summary.ended()) {
    text += "  about " + format_span(*summary.seconds_left) + " left";
  }
  return text;
}

}  // namespace

std::string render_error_line(const ErrorEntry& error) {
  std::string line = "  " + error.code;
  if (!error.model_name.empty()) line += " " + error.model_name;
  line += ": " + error.message;
  // A message may carry the engine's own output; the view keeps to one line per error.
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::replace(line.begin(), line.end(), '\r', ' ');
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

std::vector<std::string> render_live_view(const BatchSummary& summary, const ViewStyle& style) {
  const int columns = std::max(style.columns, 20) - 1;
  std::vector<StyledLine> lines;
  lines.push_back(StyledLine()
                      .add("ensemble_watch ", Colour::Bold)
                      .add(summary.output_dir + "  ")
                      .add(title(summary), state_colour(summary.state))
                      .add(jobs_note(summary)));
  lines.push_back(bar_line(summary, columns));
  StyledLine counts;
  for (const auto& [name, value] : count_items(summary)) {
    counts.add(name + " ").add(std::to_string(value), count_colour(name, value)).add("  ");
  }
  lines.push_back(counts);
  lines.push_back(StyledLine().add(pace_text(summary), Colour::Dim));
  if (!summary.running.empty()) {
    StyledLine running;
    running.add("running: ");
    for (std::size_t i = 0; i < summary.running.size() && i < kRunningShown; ++i) {
      const Combination& c = summary.running[i];
      running.add(i == 0 ? "" : ", ").add(c.model_name, Colour::Yellow);
      if (c.started && style.now >= *c.started) {
        running.add(" (" + format_span(style.now - *c.started) + ")");
      }
    }
    if (summary.running.size() > kRunningShown) {
      running.add(fmt::format(" and {} more", summary.running.size() - kRunningShown));
    }
    lines.push_back(running);
  }
  if (!summary.errors.empty()) {
    lines.push_back(StyledLine().add(fmt::format("errors: {}", summary.errors.size()),
                                     Colour::Red));
    const std::size_t first = summary.errors.size() - std::min(summary.errors.size(), kErrorsShown);
    for (std::size_t i = first; i < summary.errors.size(); ++i) {
      const ErrorEntry& error = summary.errors[i];
      lines.push_back(StyledLine()
                          .add("  ")
                          .add(error.code, Colour::Red)
                          .add(render_error_line(error).substr(2 + error.code.size())));
    }
  }
  std::vector<std::string> rendered;
  for (const StyledLine& line : lines) rendered.push_back(line.render(columns, style.colour));
  return rendered;
}

std::string render_status_line(const BatchSummary& summary) {
  const Counts& c = summary.counts;
  std::string line = fmt::format("[{}] {}/{} done ({}%):", batch_state_name(summary.state),
                                 c.done, c.total, percent(c));
  bool first = true;
  for (const auto& [name, value] : count_items(summary)) {
    line += fmt::format("{} {} {}", first ? "" : ",", name, value);
    first = false;
  }
  if (summary.per_minute) {
    line += fmt::format("; {:.1f}/min", *summary.per_minute);
    if (summary.seconds_left && !summary.ended()) {
      line += ", about " + format_span(*summary.seconds_left) + " left";
    }
  }
  return line;
}

std::string redraw_frame(const std::vector<std::string>& lines, std::size_t previous_lines) {
  std::string out;
  if (previous_lines > 0) out += fmt::format("\r\x1b[{}A", previous_lines);
  for (const std::string& line : lines) out += line + "\x1b[K\n";
  return out + "\x1b[J";
}

}  // namespace batch_watch
