// Merges one fabric parameter file into a model document, into every zone or one named zone.

#include <iostream>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/error.h"
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

void print_usage(std::string_view program) {
  std::cerr << "Usage: " << program
            << " <base_model.json> <fabric_params.json> <output.json> [zone_name]\n"
            << "  If zone_name is provided, fabric changes will only be applied to that specific "
               "zone.\n"
            << "  If zone_name is not provided, fabric changes will be applied to all zones "
               "(global mode).\n";
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
  if (words.size() != 4 && words.size() != 5) {
    // Linux hands an empty argument list over as one empty name; both mean no name is known.
    const bool named = !words.empty() && !words[0].empty();
    print_usage(named ? std::string_view(words[0]) : kDefaultProgramName);
    return 1;
  }
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
