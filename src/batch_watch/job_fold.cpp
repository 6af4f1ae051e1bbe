#include "batch_watch/job_fold.h"

#include <algorithm>
#include <string_view>

#include "batch_watch/record_time.h"

namespace batch_watch {
namespace {

using json_text::Json;

std::int64_t time_or_none(std::string_view timestamp) {
  return parse_record_time(timestamp).value_or(kNoTime);
}

bool is_ending_error(std::string_view code) {
  return code == "SIMULATION_FAILED" || code == "MERGE_FAILED";
}

// The group a progress snapshot speaks of: per model it names a combination, otherwise a group.
std::string_view snapshot_group(const Json& snapshot) {
  const std::string_view name = text_member(snapshot, "current_model_name");
  const std::string_view status = text_member(snapshot, "status_message");
  if (status != "Processing model" && !status.starts_with("Parameter file")) return name;
  const auto current = count_member(snapshot, "current_combination");
  if (current && *current > 0) {
    const std::string suffix = "_" + std::to_string(*current - 1);
    if (name.size() > suffix.size() && name.ends_with(suffix)) {
      return name.substr(0, name.size() - suffix.size());
    }
  }
  // A sample's position is not its index, and beyond 64 bits no whole number to the reader;
  // the name still ends in the index.
  const auto suffix = split_model_name(name);
  return suffix ? suffix->group : name;
}

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

void JobFold::start(const RecordFields& batch_start) {
  *this = JobFold(std::move(job_id_), *names_);
  begun_ = true;
  if (const auto time = parse_record_time(batch_start.timestamp)) started_ = *time;
}

void JobFold::event(const RecordFields& record) {
  const std::uint64_t position = ++event_position_;
  ++record_count_;
  // Many lines in a row share their second.
  if (record.timestamp != last_stamp_) {
    last_stamp_.assign(record.timestamp);
    last_time_ = time_or_none(record.timestamp);
  }
  const std::int64_t time = last_time_;
  if (time != kNoTime) last_event_time_ = std::max(last_event_time_.value_or(time), time);
  if (record.event_type == "BATCH_COMPLETE") {
    complete_ = true;
    return;
  }
  if (record.model_name.empty()) return;
  if (record.event_type == "GROUP_SAMPLE") {
    // Names the group, not one of its combinations.
    if (record.total_combinations) {
      auto& total = sample_totals_[names_->group_id(record.model_name)];
      total = std::max(total, *record.total_combinations);
    }
    return;
  }
  const auto key = names_->key_of(record.model_name, record.combination_index);
  const std::uint32_t id = touch(key, record.total_combinations);
  Record& combination = records_[id];
  const bool first_from_events = (combination.flags & kFromEvents) == 0;
  combination.flags |= kFromEvents;
  const auto finish = [&](Outcome outcome) {
    // A combination's first final record stands; later ones of the same run are echoes.
    if (is_final(combination.outcome)) return;
    combination.outcome = outcome;
    combination.finished = time;
  };
  if (record.event_type == "MODEL_START") {
    combination.started = time;
    combination.start_order = position;
    if (combination.outcome == Outcome::Pending) combination.outcome = Outcome::Running;
  } else if (record.event_type == "JSON_ONLY_SKIP") {
    json_only_ = true;
    finish(Outcome::Written);
  } else if (record.event_type == "SIMULATION_SUCCESS") {
    finish(Outcome::Succeeded);
  } else if (record.event_type == "RESUME_SKIP") {
    finish(Outcome::Resumed);
  }
  if (first_from_events && !undecided_.empty()) accept_settled_errors();
}

void JobFold::error(const RecordFields& record) {
  const std::uint64_t seq = error_seq_++;
  const auto time = parse_record_time(record.timestamp);
  if (!time || !started_ || *time < *started_) return;
  ErrorLine line{seq,
                 *time,
                 std::string(record.timestamp),
                 std::string(record.error_code),
                 std::string(record.model_name),
                 std::string(record.error_message),
                 record.combination_index,
                 record.total_combinations};
  // An error in the very second the batch started may be the previous run's last word; it is
  // this batch's once the combination it names is known to be.
  if (*time == *started_ &&
      (line.model_name.empty() ||
       !known_before(names_->key_of(line.model_name, line.index), seq))) {
    if (!line.model_name.empty()) undecided_.push_back(std::move(line));
    return;
  }
  accept(std::move(line));
  if (!undecided_.empty()) accept_settled_errors();
}

void JobFold::progress(const std::optional<Json>& snapshot) {
  progress_total_.reset();
  if (!snapshot || !current_batch(*snapshot)) return;
  const std::string_view group = snapshot_group(*snapshot);
  if (group.empty()) return;
  progress_total_.emplace(names_->group_id(group),
                          count_member(*snapshot, "total_combinations").value_or(0));
}

// The simulation snapshot marks the engine start more closely than "MODEL_START" does.
void JobFold::simulation_progress(const std::optional<Json>& snapshot) {
  engine_start_.reset();
  if (!snapshot || !current_batch(*snapshot)) return;
  if (text_member(*snapshot, "status_message") != "Starting simulation") return;
  const auto key = names_->find_key(text_member(*snapshot, "model_name"));
  if (!key) return;
  const auto id = index_.find(*key, [this](std::uint32_t entry) { return key_of(records_[entry]); });
  if (!id) return;
  engine_start_.emplace(*id, time_or_none(text_member(*snapshot, "timestamp")));
}

JobEnd JobFold::end() const {
  if (!begun_) return JobEnd::NotStarted;
  if (complete_) return JobEnd::Complete;
  return ended_by_failure() ? JobEnd::Failed : JobEnd::Running;
}

std::vector<GroupTotal> JobFold::group_totals() const {
  std::map<std::uint32_t, std::uint64_t> totals = totals_;
  if (progress_total_) {
    auto& total = totals[progress_total_->first];
    total = std::max(total, progress_total_->second);
  }
  std::vector<GroupTotal> out;
  for (const auto& [group, total] : totals) {
    if (!sample_totals_.contains(group)) out.push_back({group, total, false});
  }
  for (const auto& [group, total] : sample_totals_) out.push_back({group, total, true});
  return out;
}

CombinationKey JobFold::key_of(const Record& record) {
  return {record.group, (record.flags & kWide) != 0, (record.flags & kBare) != 0, record.index};
}

CombinationState JobFold::current(std::uint32_t id) const {
  const Record& record = records_[id];
  CombinationState state{key_of(record), record.outcome, record.started, record.finished};
  if (!is_final(state.outcome) && (record.flags & kHasErrors) != 0) {
    const ErrorMarks& marks = marks_.at(id);
    if (is_final(marks.outcome)) {
      state.outcome = marks.outcome;
      state.finished = marks.time;
    }
  }
  if (engine_start_ && engine_start_->first == id && state.outcome == Outcome::Running &&
      engine_start_->second != kNoTime && state.started != kNoTime &&
      engine_start_->second >= state.started) {
    state.started = engine_start_->second;
  }
  return state;
}

std::uint32_t JobFold::touch(const CombinationKey& key, std::optional<std::uint64_t> total) {
  const auto key_at = [this](std::uint32_t entry) { return key_of(records_[entry]); };
  // A combination's records mostly come one after the other.
  auto id = last_touched_ && key_at(*last_touched_) == key ? last_touched_
                                                           : index_.find(key, key_at);
  if (!id) {
    id = static_cast<std::uint32_t>(records_.size());
    Record& added = records_.emplace_back();
    added.group = key.group;
    added.index = key.index;
    added.flags = (key.wide ? kWide : 0) | (key.bare ? kBare : 0);
    index_.insert(*id, key, key_at);
  }
  note_total(key.group, total.value_or(0));
  last_touched_ = id;
  return *id;
}

bool JobFold::known_before(const CombinationKey& key, std::uint64_t seq) const {
  const auto id = index_.find(key, [this](std::uint32_t entry) { return key_of(records_[entry]); });
  if (!id) return false;
  if ((records_[*id].flags & kFromEvents) != 0) return true;
  const auto marks = marks_.find(*id);
  return marks != marks_.end() && marks->second.first_seq < seq;
}

void JobFold::accept(ErrorLine line) {
  ++record_count_;
  const auto at = std::upper_bound(error_seqs_.begin(), error_seqs_.end(), line.seq);
  errors_.insert(errors_.begin() + (at - error_seqs_.begin()),
                 ErrorEntry{line.timestamp, line.time, job_id_, line.code, line.model_name,
                            line.message});
  error_seqs_.insert(at, line.seq);
  if (line.model_name.empty()) return;
  const std::uint32_t id = touch(names_->key_of(line.model_name, line.index), line.total);
  records_[id].flags |= kHasErrors;
  ErrorMarks& marks = marks_[id];
  marks.first_seq = std::min(marks.first_seq, line.seq);
  const bool ending = is_ending_error(line.code);
  const Outcome outcome = ending ? Outcome::Failed
                          : line.code == "WEATHER_FILE_NOT_FOUND" ? Outcome::Skipped
                                                                  : Outcome::Pending;
  if (outcome != Outcome::Pending && line.seq < marks.final_seq) {
    marks.final_seq = line.seq;
    marks.outcome = outcome;
    marks.time = line.time;
  }
  if (!ending) return;
  // The latest failure, the later line of two in one second.
  const Failure failure{line.time, line.seq, id};
  const auto later = [](const Failure& a, const Failure& b) {
    return a.time != b.time ? a.time > b.time : a.seq > b.seq;
  };
  if (!last_failure_ || later(failure, *last_failure_)) last_failure_ = failure;
}

// Errors held back for naming no known combination, in log order: each one accepted may make a
// later one's combination known.
void JobFold::accept_settled_errors() {
  for (std::size_t i = 0; i < undecided_.size();) {
    if (!known_before(names_->key_of(undecided_[i].model_name, undecided_[i].index),
                      undecided_[i].seq)) {
      ++i;
      continue;
    }
    ErrorLine line = std::move(undecided_[i]);
    undecided_.erase(undecided_.begin() + static_cast<std::ptrdiff_t>(i));
    accept(std::move(line));
  }
}

bool JobFold::ended_by_failure() const {
  if (!last_failure_) return false;
  if (last_event_time_ && *last_event_time_ > last_failure_->time) return false;
  const std::uint64_t failed_start = records_[last_failure_->combination].start_order;
  for (std::uint32_t id = 0; id < records_.size(); ++id) {
    if (records_[id].start_order > failed_start && current(id).outcome == Outcome::Running) {
      return false;
    }
  }
  return true;
}

void JobFold::note_total(std::uint32_t group, std::uint64_t total) {
  if (!last_total_ || last_total_->first != group) last_total_.emplace(group, &totals_[group]);
  *last_total_->second = std::max(*last_total_->second, total);
}

bool JobFold::current_batch(const Json& snapshot) const {
  const auto time = parse_record_time(text_member(snapshot, "timestamp"));
  return text_member(snapshot, "job_id") == job_id_ && time && started_ && *time >= *started_;
}

}  // namespace batch_watch
