// Merges one fabric parameter file into a model document, into every zone or one named zone.

#include <array>
#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/error.h"
#include "common/option_table.h"
#include "common/program_version.h"
#include "model_editing/fabric_parameters.h"
#include "json/json_file.h"
#include "json/json_reader.h"
#include "json/json_writer.h"
#include "platform/command_line.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "platform/os_error.h"

namespace {

using json_text::Json;

constexpr std::string_view kDefaultProgramName = "envelope_splice";

struct Operands {
  std::string base_model;
  std::string fabric_parameters;
  std::string output;
  std::optional<std::string> zone_name;
};

constexpr std::string_view kOperands =
    "<base_model.json> <fabric_params.json> <output.json> [zone_name]";
constexpr std::array<std::string_view, 2> kNotes{
    "If zone_name is provided, fabric changes will only be applied to that specific zone.",
    "If zone_name is not provided, fabric changes will be applied to all zones (global mode).",
};

// The operands are paths whatever they look like, so only a lone "--help", "-h" or "--version"
// (a usage error otherwise) is answered; the rest of a wrong command line gets the usage.
int answer_wrong_command_line(const std::vector<std::string>& words) {
  // Linux hands an empty argument list over as one empty name; both mean no name is known.
  const bool named = !words.empty() && !words[0].empty();
  const std::string_view program = named ? std::string_view(words[0]) : kDefaultProgramName;
  const auto request = common::lone_request(words);
  if (request == common::ProgramRequest::kHelp) {
    std::cout << common::help_text(program, {}, kOperands, kNotes);
    return 0;
  }
  if (request == common::ProgramRequest::kVersion) {
    std::cout << common::version_line(kDefaultProgramName);
    return 0;
  }
  std::cerr << common::usage_text(program, {}, kOperands, kNotes);
  return 1;
}

common::Result<Json> read_fabric_parameter_document(const std::string& path) {
  auto text = json_text::read_text_file(platform::path_from_utf8(path));
  if (!text) return std::unexpected(text.error());
  return json_text::parse_json_object(*text);
}

// The base model is read whole before the fabric file is opened, and the output is touched only
// after both were merged. The output may name an input, so it is replaced rather than truncated:
// a failed write then leaves the old file as it was.
common::Result<void> run(const Operands& operands) {
  auto model_text = json_text::read_text_file(platform::path_from_utf8(operands.base_model));
  if (!model_text) return std::unexpected(model_text.error());
  auto model = json_text::parse_json(*model_text);
  if (!model) return std::unexpected(model.error());

  auto fabric = read_fabric_parameter_document(operands.fabric_parameters);
  if (!fabric) return std::unexpected(fabric.error());
  auto set = model_editing::build_fabric_parameter_set(std::move(*fabric));
  if (!set) return std::unexpected(set.error());

  const auto outcome = model_editing::apply_fabric_to_model(
      *model, *set, operands.zone_name, model_editing::ThermalBridgeRule::RequireBoth);
  if (outcome == model_editing::FabricApplyOutcome::ZoneNotFound) {
    std::cerr << "Warning: Target zone '" << *operands.zone_name << "' not found in model\n";
  }
  return platform::replace_file(platform::path_from_utf8(operands.output),
                                json_text::to_pretty_json(*model));
}

}  // namespace

int main(int argc, char* argv[]) {
  platform::prepare_console();
  const std::vector<std::string> words = platform::command_line_words(argc, argv);
  if (words.size() != 4 && words.size() != 5) return answer_wrong_command_line(words);
  Operands operands{words[1], words[2], words[3], std::nullopt};
  if (words.size() == 5) operands.zone_name = words[4];

  common::Result<void> result;
  try {
    result = run(operands);
  } catch (const std::bad_alloc&) {
    // A document too large for memory is a failed read, reported like any other, not a crash.
    const auto code = std::make_error_code(std::errc::not_enough_memory);
    result = std::unexpected(platform::os_error(code));
  }
  if (!result) {
    std::cerr << "Error: " << result.error().message << '\n';
    return 1;
  }
  return 0;
}
