#include "batch_watch/summary_json.h"

#include "json/json_writer.h"

namespace batch_watch {
namespace {

using json_text::Json;

template <typename T>
Json or_null(const std::optional<T>& value) {
  return value ? Json(*value) : Json(nullptr);
}

Json combination_json(const Combination& c) {
  return Json{{"model_name", c.model_name},
              {"index", c.index},
              {"outcome", outcome_name(c.outcome)},
              {"job_id", c.job_id.empty() ? Json(nullptr) : Json(c.job_id)},
              {"duration_seconds", or_null(c.duration())}};
}

Json counts_json(const Counts& c) {
  return Json{{"total", c.total},         {"done", c.done},       {"succeeded", c.succeeded},
              {"written", c.written},     {"resumed", c.resumed}, {"skipped", c.skipped},
              {"failed", c.failed},       {"running", c.running},
              {"pending", c.total - std::min(c.total, c.done + c.running)}};
}

}  // namespace

std::string summary_to_json(const BatchSummary& summary) {
  Json groups = Json::array();
  for (const GroupCells& group : summary.groups) {
    Json cells = Json::array();
    for (const Combination& c : group.cells) cells.push_back(combination_json(c));
    groups.push_back(Json{{"group", group.group}, {"total", group.total}, {"combinations", cells}});
  }
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
  const Json document{{"output_dir", summary.output_dir},
                      {"state", batch_state_name(summary.state)},
                      {"ended", summary.ended()},
                      {"json_only", summary.json_only},
                      {"job_ids", summary.job_ids},
                      {"ended_job_ids", summary.ended_job_ids},
                      {"counts", counts_json(summary.counts)},
                      {"elapsed_seconds", or_null(summary.elapsed)},
                      {"runs_per_minute", or_null(summary.per_minute)},
                      {"seconds_left", or_null(summary.seconds_left)},
                      {"running", running},
                      {"errors", errors},
                      {"groups", groups}};
  return json_text::to_pretty_json(document) + "\n";
}

}  // namespace batch_watch
