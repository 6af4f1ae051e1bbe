#include "native_runner/simulation_outcome.h"

#include <charconv>
#include <utility>

#include "common/sha256.h"
#include "json/json.h"
#include "json/json_members.h"
#include "json/json_reader.h"
#include "json/json_writer.h"

namespace native_runner {
namespace {

using json_text::Json;

void append_sized(std::string& out, std::string_view text) {
  out += std::to_string(text.size());
  out += ':';
  out += text;
  out += '\n';
}

void append_field(std::string& out, std::string_view name, std::string_view value) {
  out += name;
  out += ' ';
  append_sized(out, value);
}

void append_member(std::string& out, std::string_view name) {
  out += ",\n  ";
  json_text::append_json_string(out, name);
  out += ": ";
}

void append_text_member(std::string& out, std::string_view name, std::string_view value) {
  append_member(out, name);
  json_text::append_json_string(out, value);
}

common::Result<std::string> text_member(const Json& record, std::string_view name) {
  const Json* member = json_text::find_member(record, name);
  if (member == nullptr || !member->is_string()) {
    return common::fail("outcome record has no text member \"" + std::string(name) + "\"");
  }
  return member->get<std::string>();
}

common::Result<std::vector<std::string>> options_member(const Json& record) {
  const Json* member = json_text::find_member(record, "engine_options");
  if (member == nullptr || !member->is_array()) {
    return common::fail("outcome record has no array member \"engine_options\"");
  }
  std::vector<std::string> options;
  for (const Json& option : *member) {
    if (!option.is_string()) return common::fail("outcome record has a non-text engine option");
    options.push_back(option.get<std::string>());
  }
  return options;
}

// An optional member of `kind` ("number" or "whole number"); absent in older records.
common::Result<void> read_optional(const Json& record, std::string_view name,
                                   SimulationOutcome& outcome) {
  const Json* member = json_text::find_member(record, name);
  if (member == nullptr) return {};
  if (name == "attempts") {
    if (!member->is_number_unsigned()) {
      return common::fail("outcome record has a member \"attempts\" that is no whole number");
    }
    outcome.attempts = member->get<std::uint64_t>();
    return {};
  }
  if (!member->is_number()) {
    return common::fail("outcome record has a member \"" + std::string(name) +
                        "\" that is no number");
  }
  outcome.duration_s = member->get<double>();
  return {};
}

common::Result<void> check_format(const Json& record) {
  const Json* format = json_text::find_member(record, "format");
  if (format == nullptr || !format->is_number_integer() ||
      format->get<std::int64_t>() != kOutcomeFormat) {
    return common::fail("outcome record is not of format " + std::to_string(kOutcomeFormat));
  }
  return {};
}

}  // namespace

SimulationInputs describe_simulation(std::string_view config_name, std::string_view model_name,
                                     std::string_view variant_text, std::string_view weather_file,
                                     std::string_view weather_bytes,
                                     std::vector<std::string> engine_options) {
  return SimulationInputs{std::string(config_name),          std::string(model_name),
                          common::sha256_hex(variant_text),  std::string(weather_file),
                          common::sha256_hex(weather_bytes), std::move(engine_options)};
}

std::string outcome_fingerprint(const SimulationInputs& inputs) {
  std::string canonical = "simulation outcome format " + std::to_string(kOutcomeFormat) + "\n";
  append_field(canonical, "config_name", inputs.config_name);
  append_field(canonical, "model_name", inputs.model_name);
  append_field(canonical, "variant_sha256", inputs.variant_sha256);
  append_field(canonical, "weather_file", inputs.weather_file);
  append_field(canonical, "weather_sha256", inputs.weather_sha256);
  canonical += "engine_options " + std::to_string(inputs.engine_options.size()) + "\n";
  for (const auto& option : inputs.engine_options) append_sized(canonical, option);
  return common::sha256_hex(canonical);
}

std::string render_outcome(const SimulationInputs& inputs, const SimulationRun& run) {
  std::string out = "{\n  \"format\": " + std::to_string(kOutcomeFormat);
  append_text_member(out, "config_name", inputs.config_name);
  append_text_member(out, "model_name", inputs.model_name);
  append_text_member(out, "variant_sha256", inputs.variant_sha256);
  append_text_member(out, "weather_file", inputs.weather_file);
  append_text_member(out, "weather_sha256", inputs.weather_sha256);
  append_member(out, "engine_options");
  json_text::append_pretty_json(out, Json(inputs.engine_options), 1);
  append_text_member(out, "fingerprint", outcome_fingerprint(inputs));
  append_text_member(out, "completed_at", run.completed_at);
  append_member(out, "duration_s");
  char seconds[64];
  const auto written =
      std::to_chars(seconds, seconds + sizeof seconds, run.duration_s, std::chars_format::fixed, 3);
  out.append(seconds, written.ptr);
  append_member(out, "attempts");
  out += std::to_string(run.attempts);
  out += "\n}";
  return out;
}

common::Result<SimulationOutcome> parse_outcome(std::string_view text) {
  auto record = json_text::parse_json_object(text);
  if (!record) return std::unexpected(record.error());
  return read_outcome(*record);
}

common::Result<SimulationOutcome> read_outcome(const Json& record) {
  if (auto format = check_format(record); !format) return std::unexpected(format.error());
  SimulationOutcome outcome;
  const std::pair<std::string_view, std::string*> texts[] = {
      {"config_name", &outcome.inputs.config_name},
      {"model_name", &outcome.inputs.model_name},
      {"variant_sha256", &outcome.inputs.variant_sha256},
      {"weather_file", &outcome.inputs.weather_file},
      {"weather_sha256", &outcome.inputs.weather_sha256},
      {"fingerprint", &outcome.fingerprint},
      {"completed_at", &outcome.completed_at},
  };
  for (const auto& [name, target] : texts) {
    auto value = text_member(record, name);
    if (!value) return std::unexpected(value.error());
    *target = std::move(*value);
  }
  auto options = options_member(record);
  if (!options) return std::unexpected(options.error());
  outcome.inputs.engine_options = std::move(*options);
  for (const std::string_view name : {"duration_s", "attempts"}) {
    if (auto read = read_optional(record, name, outcome); !read) {
      return std::unexpected(read.error());
    }
  }
  return outcome;
}

bool outcome_matches(std::string_view text, const SimulationInputs& inputs) {
  const auto outcome = parse_outcome(text);
  return outcome && outcome->inputs == inputs &&
         outcome->fingerprint == outcome_fingerprint(inputs);
}

}  // namespace native_runner
