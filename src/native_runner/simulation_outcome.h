#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "json/json.h"

// The record a result directory keeps once the engine has succeeded on its variant. A later
// run skips the combination only when the record describes exactly what it would simulate, so
// the question "is this done?" never rests on a file that merely exists.
namespace native_runner {

inline constexpr std::string_view kOutcomeFileName = "simulation_outcome.json";
inline constexpr int kOutcomeFormat = 1;

// Everything that decides what one engine run computes, as the record keeps it.
struct SimulationInputs {
  std::string config_name;
  std::string model_name;
  std::string variant_sha256;  // over the variant file's bytes
  std::string weather_file;    // the path text as handed to the engine
  std::string weather_sha256;  // over the weather file's bytes
  std::vector<std::string> engine_options;

  friend bool operator==(const SimulationInputs&, const SimulationInputs&) = default;
};

// Hashes the variant text and the weather file's bytes into the inputs of one run.
SimulationInputs describe_simulation(std::string_view config_name, std::string_view model_name,
                                     std::string_view variant_text, std::string_view weather_file,
                                     std::string_view weather_bytes,
                                     std::vector<std::string> engine_options);

// SHA-256 hex over a serialisation of the format number and the inputs in which every text is
// preceded by its byte length and the option list by its count, so no two different input sets
// share a serialisation.
std::string outcome_fingerprint(const SimulationInputs& inputs);

// How the successful run went. None of it decides what the engine computes, so none of it takes
// part in a match.
struct SimulationRun {
  std::string completed_at;
  double duration_s = 0;  // the successful attempt's wall time
  std::uint64_t attempts = 1;
};

// The record in pretty form: "format", the six inputs, "fingerprint", "completed_at",
// "duration_s" (written with three decimals) and "attempts".
std::string render_outcome(const SimulationInputs& inputs, const SimulationRun& run);

struct SimulationOutcome {
  SimulationInputs inputs;
  std::string fingerprint;
  std::string completed_at;
  // Absent from the records of earlier versions.
  std::optional<double> duration_s;
  std::optional<std::uint64_t> attempts;
};

// Reads a record back. Fails, naming the reason, when the text is not JSON, is not an object, is
// of another format, or lacks a member or holds one of the wrong kind. "duration_s" and
// "attempts" may be absent, but when present must be a number and a whole number.
common::Result<SimulationOutcome> parse_outcome(std::string_view text);
// The same for a record already parsed, for readers that want its other members too.
common::Result<SimulationOutcome> read_outcome(const json_text::Json& record);

// True only when `text` is a record of this format whose every input and whose fingerprint equal
// those of `inputs`. Anything else (a truncated or foreign file, a record of a different run)
// means the combination has to run again.
bool outcome_matches(std::string_view text, const SimulationInputs& inputs);

}  // namespace native_runner
