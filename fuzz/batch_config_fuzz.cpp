// A fuzzed batch configuration through group reading, combination counting and the odometer,
// which must walk exactly the combinations that build_combinations lists.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "native_runner/batch_config.h"

namespace {

// Enough to compare the two enumerations on every group the fuzzer builds in practice, small
// enough that a group of 2^64 combinations cannot stall a run.
constexpr std::uint64_t kMaxWalked = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace fuzz_support;
  const auto config = json_text::parse_json(as_text(data, size));
  if (!config) return 0;

  const auto groups = native_runner::group_members(*config);
  if (!config->is_object()) require(groups.empty(), "only an object has groups");
  for (const auto& [name, object] : groups) {
    require(object != nullptr && object->is_object(), "a group is an object", name);
    const auto group = native_runner::read_group(name, *object);
    if (!group) {
      require(group.error().message.starts_with("group '" + name + "': "),
              "a refused group is named in the error", group.error().message);
      continue;
    }
    const auto total = native_runner::count_combinations(group->parameters);
    if (!total) continue;

    native_runner::CombinationOdometer odometer(group->parameters);
    require(odometer.has_current() == (*total > 0), "the odometer starts when there is work");
    std::uint64_t walked = 0;
    std::vector<std::vector<Json>> listed;
    const bool compare = *total <= kMaxWalked;
    if (compare) {
      std::vector<std::vector<Json>> lists;
      for (const auto& list : group->parameters) {
        lists.emplace_back(list.values.begin(), list.values.end());
      }
      listed = native_runner::build_combinations(lists);
      require(listed.size() == *total, "build_combinations lists count_combinations entries");
    }
    for (; odometer.has_current() && walked < kMaxWalked; odometer.advance(), ++walked) {
      const auto values = odometer.current();
      require(values.size() == group->parameters.size(), "one value per parameter list");
      if (!compare) continue;
      for (std::size_t k = 0; k < values.size(); ++k) {
        require(listed[walked][k] == std::string(values[k]),
                "the odometer follows build_combinations order", name);
      }
    }
    if (compare) {
      require(walked == *total && !odometer.has_current(),
              "the odometer stops after the last combination", name);
    }
    (void)native_runner::result_directory_name(name, name, walked);
    (void)native_runner::variant_file_name(name);
  }
  return 0;
}
