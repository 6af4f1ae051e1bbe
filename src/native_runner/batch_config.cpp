#include "native_runner/batch_config.h"

#include <array>
#include <limits>
#include <utility>

#include "common/utf8.h"
#include "json/json_members.h"
#include "model_editing/zone_allocation.h"
#include "native_runner/digit_rows.h"
#include "platform/device_names.h"
#include "platform/file_system.h"

namespace native_runner {
namespace {

// Members of a group object that carry meaning of their own and so are never parameter lists.
constexpr std::array<std::string_view, 3> kReservedNames = {"base_json", "weather_files",
                                                            "zone_allocations"};

bool is_reserved(std::string_view name) {
  for (std::string_view reserved : kReservedNames) {
    if (name == reserved) return true;
  }
  return false;
}

// The group name becomes part of a directory name and the whole variant file name. With a
// separator in it the variant would land in other folders, and one that starts with a separator
// (or a drive) would be written outside the output directory altogether.
common::Result<void> check_group_name(std::string_view group) {
  const std::filesystem::path file = platform::path_from_utf8(variant_file_name(group));
  if (file.has_root_path() || file.has_parent_path()) {
    return common::fail("group '" + std::string(group) +
                        "': the name must be a plain file name, without a directory or drive part");
  }
  return {};
}

// On Windows such a name opens a device instead of the variant or parameter file, and the
// system's "Access denied" would not say why; it is refused before the group writes anything.
common::Result<void> check_not_a_device(std::string_view group, std::string_view what,
                                        std::string_view name, std::string_view where = {}) {
  const auto device = platform::device_name(name);
  if (!device) return {};
  return common::fail("group '" + std::string(group) + "': " + std::string(what) + " '" +
                      std::string(name) + "'" + std::string(where) + " is the device name " +
                      *device + " on Windows, which no file can have; rename it");
}

// Every name of the group that becomes a file or folder name on the way to a variant.
common::Result<void> check_file_names(const Group& group) {
  const std::string_view name = group.name;
  if (auto checked = check_not_a_device(name, "the group name", name); !checked) return checked;
  if (auto checked = check_not_a_device(name, "the base model", group.base_model_name); !checked) {
    return checked;
  }
  if (const std::string* weather = json_text::find_first_string(*group.object, "weather_files")) {
    if (auto checked = check_not_a_device(name, "the weather name", *weather); !checked) {
      return checked;
    }
  }
  for (const ParameterList& list : group.parameters) {
    for (const std::string& value : list.values) {
      const std::string what = "the \"" + list.key + "\" value";
      if (auto checked = check_not_a_device(name, what, value); !checked) return checked;
    }
  }
  if (!group.zone_allocations) return {};
  for (const auto& allocation : model_editing::list_zone_allocations(*group.zone_allocations)) {
    if (!model_editing::allocation_folder(allocation.key)) continue;  // a text, not a file
    const std::string what = "the \"" + allocation.key + "\" allocation";
    const std::string where = " (zone '" + allocation.zone + "')";
    if (auto checked = check_not_a_device(name, what, allocation.name, where); !checked) {
      return checked;
    }
  }
  return {};
}

common::Result<std::string> read_base_model_name(std::string_view group, const Json& object) {
  const std::string* base = json_text::find_first_string(object, "base_json");
  if (base == nullptr) {
    return common::fail("group '" + std::string(group) +
                        "': \"base_json\" must be an array whose first element is a string");
  }
  return *base;
}

common::Result<ParameterList> read_parameter_list(std::string_view group, const std::string& key,
                                                  const Json& values) {
  ParameterList list{key, {}};
  list.values.reserve(values.size());
  for (const Json& value : values) {
    if (!value.is_string()) {
      return common::fail("group '" + std::string(group) + "': parameter list \"" + key +
                          "\" must hold only strings");
    }
    list.values.push_back(value.get<std::string>());
  }
  return list;
}

}  // namespace

std::vector<std::pair<std::string, const Json*>> group_members(const Json& config) {
  std::vector<std::pair<std::string, const Json*>> groups;
  if (!config.is_object()) return groups;
  for (const auto& [name, value] : config.items()) {
    if (value.is_object()) groups.emplace_back(name, &value);
  }
  return groups;
}

common::Result<Group> read_group(std::string_view name, const Json& object) {
  Group group;
  group.name = std::string(name);
  group.object = &object;
  if (auto named = check_group_name(name); !named) return std::unexpected(named.error());
  auto base_name = read_base_model_name(name, object);
  if (!base_name) return std::unexpected(base_name.error());
  group.base_model_name = std::move(*base_name);

  if (const Json* allocations = json_text::find_member(object, "zone_allocations")) {
    group.zone_allocations = *allocations;
  }
  // The JSON object keeps its members sorted byte-wise, which is the parameter-key order.
  for (const auto& [key, value] : object.items()) {
    if (is_reserved(key) || !value.is_array()) continue;
    auto list = read_parameter_list(name, key, value);
    if (!list) return std::unexpected(list.error());
    group.parameters.push_back(std::move(*list));
  }
  if (auto checked = check_file_names(group); !checked) return std::unexpected(checked.error());
  return group;
}

std::vector<std::vector<Json>> build_combinations(const std::vector<std::vector<Json>>& lists) {
  std::vector<std::vector<Json>> result(1);
  for (const auto& list : lists) {
    if (list.empty()) return {};
    std::vector<std::vector<Json>> next;
    next.reserve(result.size() * list.size());
    for (const auto& combination : result) {
      for (const Json& value : list) {
        auto extended = combination;
        extended.push_back(value);
        next.push_back(std::move(extended));
      }
    }
    result = std::move(next);
  }
  return result;
}

common::Result<std::uint64_t> count_combinations(const std::vector<ParameterList>& lists) {
  // An empty list makes the product zero however large the others are.
  for (const auto& list : lists) {
    if (list.values.empty()) return 0;
  }
  std::uint64_t count = 1;
  for (const auto& list : lists) {
    const std::uint64_t size = list.values.size();
    if (count > std::numeric_limits<std::uint64_t>::max() / size) {
      std::string keys;
      for (const auto& each : lists) {
        keys += (keys.empty() ? "\"" : ", \"") + each.key + "\"";
      }
      return common::fail("the parameter lists " + keys + " give more than " +
                          std::to_string(std::numeric_limits<std::uint64_t>::max()) +
                          " combinations");
    }
    count *= size;
  }
  return count;
}

std::vector<std::uint64_t> list_lengths(const std::vector<ParameterList>& lists) {
  std::vector<std::uint64_t> lengths;
  lengths.reserve(lists.size());
  for (const auto& list : lists) lengths.push_back(list.values.size());
  return lengths;
}

std::vector<std::string_view> values_at(const std::vector<ParameterList>& lists,
                                        std::span<const std::uint64_t> digits) {
  std::vector<std::string_view> values;
  values.reserve(lists.size());
  for (std::size_t i = 0; i < lists.size(); ++i) {
    values.emplace_back(lists[i].values[static_cast<std::size_t>(digits[i])]);
  }
  return values;
}

CombinationOdometer::CombinationOdometer(const std::vector<ParameterList>& lists)
    : lists_(lists),
      lengths_(list_lengths(lists)),
      positions_(lists.size(), 0),
      has_current_(true) {
  for (std::uint64_t length : lengths_) {
    if (length == 0) has_current_ = false;
  }
}

std::vector<std::string_view> CombinationOdometer::current() const {
  if (!has_current_) return {};
  return values_at(lists_, positions_);
}

bool CombinationOdometer::advance() {
  if (!has_current_) return false;
  // Once every wheel has wrapped round (or there were none) the last combination has been seen.
  has_current_ = next_digits(positions_, lengths_);
  return has_current_;
}

std::string model_name(std::string_view group, std::uint64_t index) {
  return std::string(group) + "_" + std::to_string(index);
}

std::string model_name(std::string_view group, const common::BigCount& index) {
  return std::string(group) + "_" + index.decimal();
}

std::string result_directory_name(std::string_view config_name, std::string_view group,
                                  std::uint64_t index) {
  return "result_" + std::string(config_name) + "_" + model_name(group, index);
}

std::string result_directory_name(std::string_view config_name, std::string_view group,
                                  const common::BigCount& index) {
  return "result_" + std::string(config_name) + "_" + model_name(group, index);
}

std::string variant_file_name(std::string_view group) { return std::string(group) + ".json"; }

common::Result<std::string> config_name_from_path(const std::filesystem::path& config_path) {
  const std::filesystem::path file_name = config_path.filename();
  if (file_name.empty() || file_name == "." || file_name == "..") {
    return common::fail("the configuration path '" + platform::path_text(config_path) +
                        "' has no file name");
  }
  const auto utf8 = file_name.u8string();
  const std::string name(reinterpret_cast<const char*>(utf8.data()), utf8.size());
  // The name goes into result directory names and records; a lossy repair would make it
  // differ from the file it came from.
  if (!common::is_valid_utf8(name)) {
    return common::fail("the configuration file name '" + platform::path_text(file_name) +
                        "' is not valid Unicode");
  }
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return name;
  return name.substr(0, dot);
}

}  // namespace native_runner
