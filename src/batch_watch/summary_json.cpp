#include "batch_watch/summary_json.h"

#include <sstream>

#include "json/json_writer.h"

namespace batch_watch {
namespace {

using json_text::Json;

// Text is handed on in pieces of about this size.
constexpr std::size_t kFlushAt = 1 << 20;

template <typename T>
Json or_null(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json counts_json(const Counts& c) {
  return Json{{"total", c.total},         {"done", c.done},       {"succeeded", c.succeeded},
              {"written", c.written},     {"resumed", c.resumed}, {"skipped", c.skipped},
              {"failed", c.failed},       {"running", c.running},
              {"pending", c.total - std::min(c.total, c.done + c.running)}};
}

// The pretty form's layout, written member by member: the document writer would need the whole
// tree, tens of bytes per value, in memory at once.
class PrettyOut {
 public:
  explicit PrettyOut(std::ostream& out) : out_(out) {}
  ~PrettyOut() { out_ << text_; }

  void open(char bracket) {
    text_ += bracket;
    ++level_;
    first_ = true;
  }
  void close(char bracket) {
    --level_;
    if (first_) {
      text_ += bracket;  // "[]" or "{}"
    } else {
      line();
      text_ += bracket;
    }
    first_ = false;
  }
  // Starts the next member; its value follows.
  void key(std::string_view name) {
    element();
    json_text::append_json_string(text_, name);
    text_ += ": ";
  }
  // Starts the next array element.
  void element() {
    if (!first_) text_ += ',';
    first_ = false;
    line();
  }
  void raw(std::string_view text) { text_ += text; }
  void string(std::string_view text) { json_text::append_json_string(text_, text); }
  void value(const Json& value) { json_text::append_pretty_json(text_, value, level_); }
  void member(std::string_view name, const Json& json) {
    key(name);
    value(json);
  }
  void flush_if_full() {
    if (text_.size() < kFlushAt) return;
    out_ << text_;
    text_.clear();
  }

 private:
  void line() {
    text_ += '\n';
    text_.append(2 * static_cast<std::size_t>(level_), ' ');
  }

  std::ostream& out_;
  std::string text_;
  int level_ = 0;
  bool first_ = true;
};

void put_cell(PrettyOut& out, const BatchSummary& summary, const GroupCells& group,
              const Cell& cell) {
  out.element();
  out.open('{');
  out.key("duration_seconds");
  out.raw(cell.duration == kNoTime ? "null" : std::to_string(cell.duration));
  out.key("index");
  out.raw(index_text(group, cell));
  out.key("job_id");
  if (cell.job == kNoJob) {
    out.raw("null");
  } else {
    out.string(summary.job_ids[cell.job]);
  }
  out.key("model_name");
  out.string(model_name(group, cell));
  out.key("outcome");
  out.string(outcome_name(cell.outcome));
  out.close('}');
  out.flush_if_full();
}

void put_groups(PrettyOut& out, const BatchSummary& summary) {
  out.open('[');
  for (const GroupCells& group : summary.groups) {
    out.element();
    out.open('{');
    out.key("combinations");
    out.open('[');
    for_each_cell(group, [&](const Cell& cell) { put_cell(out, summary, group, cell); });
    out.close(']');
    out.member("group", group.group);
    if (group.sampled) out.member("sampled", true);
    out.member("total", group.total);
    if (!group.listed_in_full()) out.member("unlisted_pending", group.unlisted());
    out.close('}');
  }
  out.close(']');
}

}  // namespace

void write_summary_json(const BatchSummary& summary, std::ostream& stream) {
  Json running = Json::array();
  for (const Combination& c : summary.running) running.push_back(c.model_name);
  Json errors = Json::array();
  for (const ErrorEntry& e : summary.errors) {
    errors.push_back(Json{{"timestamp", e.timestamp},
                          {"job_id", e.job_id},
                          {"error_code", e.code},
                          {"model_name", e.model_name},
                          {"error_message", e.message}});
  }
  PrettyOut out(stream);
  out.open('{');
  // Members in byte order, as the document writer sorts them.
  out.member("counts", counts_json(summary.counts));
  out.member("elapsed_seconds", or_null(summary.elapsed));
  out.member("ended", summary.ended());
  out.member("ended_job_ids", summary.ended_job_ids);
  out.member("errors", errors);
  out.key("groups");
  put_groups(out, summary);
  out.member("job_ids", summary.job_ids);
  out.member("json_only", summary.json_only);
  out.member("output_dir", summary.output_dir);
  out.member("running", running);
  out.member("runs_per_minute", or_null(summary.per_minute));
  out.member("seconds_left", or_null(summary.seconds_left));
  out.member("state", batch_state_name(summary.state));
  out.close('}');
  out.raw("\n");
}

std::string summary_to_json(const BatchSummary& summary) {
  std::ostringstream out;
  write_summary_json(summary, out);
  return out.str();
}

}  // namespace batch_watch
