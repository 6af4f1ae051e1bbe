#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/big_count.h"
#include "common/error.h"
#include "json/json.h"

namespace native_runner {

using json_text::Json;

// One parameter list of a group: the parameter key and the values naming its files.
struct ParameterList {
  std::string key;
  std::vector<std::string> values;
};

// One group of the batch configuration, checked and ready to enumerate.
struct Group {
  std::string name;
  const Json* object = nullptr;           // the group's object inside the parsed configuration
  std::string base_model_name;            // first element of "base_json"
  std::optional<Json> zone_allocations;   // copy of "zone_allocations", when present
  std::vector<ParameterList> parameters;  // in byte-wise key order; reserved names excluded
};

// The members of a parsed configuration whose value is an object, in byte-wise name order.
// A top level that is not an object has none.
std::vector<std::pair<std::string, const Json*>> group_members(const Json& config);

// Reads one group. Fails, naming the group and the member, when "base_json" is not an array
// whose first element is a string, or a parameter list holds a value that is not a string; and,
// naming the group, when its name has a directory or drive part (it names the variant file);
// and, naming the group and the name, when the group name, the base model, the weather name, a
// parameter value or a zone allocation's file is a name this system reserves for a device.
common::Result<Group> read_group(std::string_view name, const Json& object);

// Every combination of one value per list, first list slowest; an empty list gives none, no
// lists give one empty combination.
std::vector<std::vector<Json>> build_combinations(const std::vector<std::vector<Json>>& lists);

// The number of combinations of the lists, or an error when it does not fit in 64 bits.
common::Result<std::uint64_t> count_combinations(const std::vector<ParameterList>& lists);

// The length of each list, in list order.
std::vector<std::uint64_t> list_lengths(const std::vector<ParameterList>& lists);

// The value of each list at these digits (positions in the lists), in list order.
std::vector<std::string_view> values_at(const std::vector<ParameterList>& lists,
                                        std::span<const std::uint64_t> digits);

// Walks the combinations of a group's parameter lists in build_combinations order without
// holding them all: an odometer whose last wheel turns fastest. Memory stays flat however many
// combinations there are.
class CombinationOdometer {
 public:
  explicit CombinationOdometer(const std::vector<ParameterList>& lists);

  // False when there is no combination at all (some list is empty).
  bool has_current() const { return has_current_; }
  // The value of each list in the current combination, in list order.
  std::vector<std::string_view> current() const;
  // Moves to the next combination; false (and no current) after the last one.
  bool advance();

 private:
  const std::vector<ParameterList>& lists_;
  std::vector<std::uint64_t> lengths_;
  std::vector<std::uint64_t> positions_;
  bool has_current_ = false;
};

// "{group}_{index}".
std::string model_name(std::string_view group, std::uint64_t index);
std::string model_name(std::string_view group, const common::BigCount& index);
// "result_{config_name}_{group}_{index}".
std::string result_directory_name(std::string_view config_name, std::string_view group,
                                  std::uint64_t index);
std::string result_directory_name(std::string_view config_name, std::string_view group,
                                  const common::BigCount& index);
// "{group}.json".
std::string variant_file_name(std::string_view group);

// The configuration file's name without its extension (batch.north.json gives batch.north; a
// name whose only '.' is its first character is taken whole). Fails when the path has no file
// name or the name is not valid text.
common::Result<std::string> config_name_from_path(const std::filesystem::path& config_path);

}  // namespace native_runner
