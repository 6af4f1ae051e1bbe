#include "batch_watch/job_state.h"

#include <string_view>
#include <unordered_map>

#include "batch_watch/record_time.h"

namespace batch_watch {
namespace {

using json_text::Json;

std::string text_member(const Json& record, const char* key) {
  const auto found = record.find(key);
  return found != record.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::uint64_t count_member(const Json& record, const char* key) {
  const auto found = record.find(key);
  return found != record.end() && found->is_number_unsigned() ? found->get<std::uint64_t>() : 0;
}

std::optional<std::int64_t> time_member(const Json& record) {
  return parse_record_time(text_member(record, "timestamp"));
}

// Model names are "{group}_{index}"; a name that does not end so is its own group.
std::string group_of(const std::string& model_name, std::uint64_t index) {
  const std::string suffix = "_" + std::to_string(index);
  if (model_name.size() > suffix.size() && model_name.ends_with(suffix)) {
    return model_name.substr(0, model_name.size() - suffix.size());
  }
  return model_name;
}

bool is_final(Outcome outcome) {
  return outcome != Outcome::Pending && outcome != Outcome::Running;
}

bool is_ending_error(std::string_view code) {
  return code == "SIMULATION_FAILED" || code == "MERGE_FAILED";
}

class JobBuilder {
 public:
  explicit JobBuilder(const std::string& job_id) { state_.job_id = job_id; }

  // Returns the position of the last "BATCH_START", if any.
  static std::optional<std::size_t> latest_start(const std::vector<Json>& events) {
    for (std::size_t i = events.size(); i-- > 0;) {
      if (text_member(events[i], "event_type") == "BATCH_START") return i;
    }
    return std::nullopt;
  }

  void start(const Json& event) {
    state_.end = JobEnd::Running;
    state_.started = time_member(event);
    state_.config_name = text_member(event, "config_name");
  }

  void event(const Json& record, std::size_t position) {
    ++state_.record_count;
    const std::string type = text_member(record, "event_type");
    const auto time = time_member(record);
    if (time) last_event_time_ = std::max(last_event_time_.value_or(*time), *time);
    if (type == "BATCH_COMPLETE") {
      state_.end = JobEnd::Complete;
      return;
    }
    const std::string model = text_member(record, "model_name");
    if (model.empty()) return;
    Combination& combination = touch(record, model);
    if (type == "MODEL_START") {
      combination.started = time;
      combination.start_order = position;
      if (combination.outcome == Outcome::Pending) combination.outcome = Outcome::Running;
    } else if (type == "JSON_ONLY_SKIP") {
      state_.json_only = true;
      finish(combination, Outcome::Written, time);
    } else if (type == "SIMULATION_SUCCESS") {
      finish(combination, Outcome::Succeeded, time);
    } else if (type == "RESUME_SKIP") {
      finish(combination, Outcome::Resumed, time);
    }
  }

  void error(const Json& record) {
    const auto time = time_member(record);
    const std::string model = text_member(record, "model_name");
    if (!time || !state_.started || *time < *state_.started) return;
    // An error in the very second the batch started may be the previous run's last word.
    if (*time == *state_.started && !by_model_.contains(model)) return;
    ++state_.record_count;
    const std::string code = text_member(record, "error_code");
    state_.errors.push_back(ErrorEntry{text_member(record, "timestamp"), *time, state_.job_id,
                                       code, model, text_member(record, "error_message")});
    if (model.empty()) return;
    Combination& combination = touch(record, model);
    if (is_ending_error(code)) {
      finish(combination, Outcome::Failed, time);
      if (!last_failure_ || *time >= last_failure_->time) {
        last_failure_ = Failure{*time, combination.start_order};
      }
    } else if (code == "WEATHER_FILE_NOT_FOUND") {
      finish(combination, Outcome::Skipped, time);
    }
  }

  void progress(const std::optional<Json>& snapshot) {
    if (!snapshot || !current_batch(*snapshot)) return;
    const std::string name = text_member(*snapshot, "current_model_name");
    const std::uint64_t current = count_member(*snapshot, "current_combination");
    const std::string status = text_member(*snapshot, "status_message");
    const bool per_model = status == "Processing model" || status.starts_with("Parameter file");
    const std::string group = per_model && current > 0 ? group_of(name, current - 1) : name;
    note_total(group, count_member(*snapshot, "total_combinations"));
  }

  // The simulation snapshot marks the engine start more closely than "MODEL_START" does.
  void simulation_progress(const std::optional<Json>& snapshot) {
    if (!snapshot || !current_batch(*snapshot)) return;
    if (text_member(*snapshot, "status_message") != "Starting simulation") return;
    const auto found = by_model_.find(text_member(*snapshot, "model_name"));
    if (found == by_model_.end()) return;
    Combination& combination = state_.combinations[found->second];
    const auto time = time_member(*snapshot);
    if (combination.outcome == Outcome::Running && time && combination.started &&
        *time >= *combination.started) {
      combination.started = time;
    }
  }

  JobState finish_state() {
    if (state_.end == JobEnd::Running && ended_by_failure()) state_.end = JobEnd::Failed;
    if (state_.ended()) {
      for (Combination& combination : state_.combinations) {
        if (combination.outcome == Outcome::Running) combination.outcome = Outcome::Skipped;
      }
    }
    return std::move(state_);
  }

 private:
  struct Failure {
    std::int64_t time;
    std::size_t start_order;
  };

  bool current_batch(const Json& snapshot) const {
    const auto time = time_member(snapshot);
    return text_member(snapshot, "job_id") == state_.job_id && time && state_.started &&
           *time >= *state_.started;
  }

  bool ended_by_failure() const {
    if (!last_failure_) return false;
    if (last_event_time_ && *last_event_time_ > last_failure_->time) return false;
    for (const Combination& combination : state_.combinations) {
      if (combination.outcome == Outcome::Running &&
          combination.start_order > last_failure_->start_order) {
        return false;
      }
    }
    return true;
  }

  Combination& touch(const Json& record, const std::string& model) {
    const std::uint64_t index = count_member(record, "combination_index");
    const auto [found, inserted] = by_model_.try_emplace(model, state_.combinations.size());
    if (inserted) {
      Combination& added = state_.combinations.emplace_back();
      added.job_id = state_.job_id;
      added.model_name = model;
      added.group = group_of(model, index);
      added.index = index;
    }
    Combination& combination = state_.combinations[found->second];
    note_total(combination.group, count_member(record, "total_combinations"));
    return combination;
  }

  void note_total(const std::string& group, std::uint64_t total) {
    if (group.empty()) return;
    auto& known = state_.group_totals[group];
    known = std::max(known, total);
  }

  static void finish(Combination& combination, Outcome outcome, std::optional<std::int64_t> at) {
    // A combination's first final record stands; later ones of the same run are echoes.
    if (is_final(combination.outcome)) return;
    combination.outcome = outcome;
    combination.finished = at;
  }

  JobState state_;
  std::unordered_map<std::string, std::size_t> by_model_;
  std::optional<std::int64_t> last_event_time_;
  std::optional<Failure> last_failure_;
};

}  // namespace

const char* outcome_name(Outcome outcome) {
  switch (outcome) {
    case Outcome::Pending: return "pending";
    case Outcome::Running: return "running";
    case Outcome::Succeeded: return "succeeded";
    case Outcome::Written: return "written";
    case Outcome::Resumed: return "resumed";
    case Outcome::Skipped: return "skipped";
    case Outcome::Failed: return "failed";
  }
  return "pending";
}

std::optional<std::int64_t> Combination::duration() const {
  if ((outcome != Outcome::Succeeded && outcome != Outcome::Failed) || !started || !finished) {
    return std::nullopt;
  }
  return *finished - *started;
}

JobState aggregate_job(const JobRecords& records) {
  JobBuilder builder(records.job_id);
  const auto start = JobBuilder::latest_start(records.events);
  if (!start) return builder.finish_state();
  builder.start(records.events[*start]);
  for (std::size_t i = *start + 1; i < records.events.size(); ++i) {
    builder.event(records.events[i], i);
  }
  for (const Json& error : records.errors) builder.error(error);
  builder.progress(records.progress);
  builder.simulation_progress(records.simulation_progress);
  return builder.finish_state();
}

}  // namespace batch_watch
