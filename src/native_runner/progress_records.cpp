#include "native_runner/progress_records.h"

#include <string_view>

#include "json/json_writer.h"

namespace native_runner {
namespace {

// Writes one flat object member by member. Records fix their own member order, so the generic
// document writer (which sorts members) cannot be used for the outer level.
class RecordWriter {
 public:
  explicit RecordWriter(bool pretty) : pretty_(pretty) { out_ += pretty_ ? "{\n" : "{"; }

  RecordWriter& text(std::string_view key, std::string_view value) {
    begin_member(key);
    json_text::append_json_string(out_, value);
    return *this;
  }

  RecordWriter& unsigned_number(std::string_view key, std::uint64_t value) {
    begin_member(key);
    out_ += std::to_string(value);
    return *this;
  }

  RecordWriter& unsigned_number(std::string_view key, const common::BigCount& value) {
    begin_member(key);
    out_ += value.decimal();
    return *this;
  }

  RecordWriter& real(std::string_view key, double value) {
    begin_member(key);
    json_text::append_json_float(out_, value);
    return *this;
  }

  RecordWriter& document(std::string_view key, const json_text::Json& value) {
    begin_member(key);
    if (pretty_) {
      json_text::append_pretty_json(out_, value, 1);
    } else {
      json_text::append_compact_json(out_, value);
    }
    return *this;
  }

  std::string finish() {
    out_ += pretty_ ? "\n}" : "}";
    return std::move(out_);
  }

 private:
  void begin_member(std::string_view key) {
    if (!first_) out_ += pretty_ ? ",\n" : ",";
    first_ = false;
    if (pretty_) out_ += "  ";
    json_text::append_json_string(out_, key);
    out_ += pretty_ ? ": " : ":";
  }

  bool pretty_;
  bool first_ = true;
  std::string out_;
};

std::string render(const ProgressUpdate& r, bool pretty) {
  return RecordWriter(pretty)
      .text("job_id", r.job_id)
      .unsigned_number("current_combination", r.current_combination)
      .unsigned_number("total_combinations", r.total_combinations)
      .real("percentage", r.percentage)
      .text("current_model_name", r.current_model_name)
      .text("status_message", r.status_message)
      .text("timestamp", r.timestamp)
      .finish();
}

std::string render(const SimulationProgress& r, bool pretty) {
  return RecordWriter(pretty)
      .text("job_id", r.job_id)
      .text("model_name", r.model_name)
      .unsigned_number("current_timestep", r.current_timestep)
      .unsigned_number("total_timesteps", r.total_timesteps)
      .real("percentage", r.percentage)
      .text("current_month", r.current_month)
      .unsigned_number("current_day", r.current_day)
      .real("current_hour", r.current_hour)
      .text("status_message", r.status_message)
      .text("timestamp", r.timestamp)
      .finish();
}

std::string render(const StructuredError& r, bool pretty) {
  return RecordWriter(pretty)
      .text("timestamp", r.timestamp)
      .text("job_id", r.job_id)
      .text("config_name", r.config_name)
      .text("error_code", r.error_code)
      .text("error_message", r.error_message)
      .text("model_name", r.model_name)
      .unsigned_number("combination_index", r.combination_index)
      .unsigned_number("total_combinations", r.total_combinations)
      .document("additional_data", r.additional_data)
      .finish();
}

std::string render(const ProcessingEvent& r, bool pretty) {
  return RecordWriter(pretty)
      .text("timestamp", r.timestamp)
      .text("job_id", r.job_id)
      .text("config_name", r.config_name)
      .text("event_type", r.event_type)
      .text("message", r.message)
      .text("model_name", r.model_name)
      .unsigned_number("combination_index", r.combination_index)
      .unsigned_number("total_combinations", r.total_combinations)
      .finish();
}

}  // namespace

std::string to_pretty_json(const ProgressUpdate& record) { return render(record, true); }
std::string to_pretty_json(const SimulationProgress& record) { return render(record, true); }
std::string to_pretty_json(const StructuredError& record) { return render(record, true); }
std::string to_pretty_json(const ProcessingEvent& record) { return render(record, true); }
std::string to_compact_json(const ProgressUpdate& record) { return render(record, false); }
std::string to_compact_json(const SimulationProgress& record) { return render(record, false); }
std::string to_compact_json(const StructuredError& record) { return render(record, false); }
std::string to_compact_json(const ProcessingEvent& record) { return render(record, false); }

}  // namespace native_runner
