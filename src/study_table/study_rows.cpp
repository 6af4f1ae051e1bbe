#include "study_table/study_rows.h"

#include <set>

#include "json/json_members.h"

namespace study_table {
namespace {

void map_keys(StudyPlan& plan) {
  std::set<std::string> keys;
  for (const auto& group : plan.groups) {
    for (const auto& list : group.parameters) keys.insert(list.key);
  }
  plan.keys.assign(keys.begin(), keys.end());
  for (const auto& group : plan.groups) {
    std::vector<std::size_t> lists(plan.keys.size(), StudyPlan::kNoList);
    for (std::size_t i = 0; i < group.parameters.size(); ++i) {
      const auto at = std::lower_bound(plan.keys.begin(), plan.keys.end(), group.parameters[i].key);
      lists[static_cast<std::size_t>(at - plan.keys.begin())] = i;
    }
    plan.key_lists.push_back(std::move(lists));
  }
}

}  // namespace

common::Result<StudyPlan> read_study_plan(
    const native_runner::Files& files, const std::filesystem::path& config_path,
    const std::optional<native_runner::SampleRequest>& sample) {
  StudyPlan plan;
  plan.sample = sample;
  auto name = native_runner::config_name_from_path(config_path);
  if (!name) return std::unexpected(name.error());
  plan.config_name = std::move(*name);
  auto config = native_runner::read_json(files, config_path);
  if (!config) return std::unexpected(config.error());
  plan.config = std::make_unique<json_text::Json>(std::move(*config));
  for (const auto& [group_name, object] : native_runner::group_members(*plan.config)) {
    auto group = native_runner::read_group(group_name, *object);
    if (!group) return std::unexpected(group.error());
    // A sample may be taken from a group of any size; all of one must be counted in 64 bits.
    if (!sample) {
      if (auto counted = native_runner::count_combinations(group->parameters); !counted) {
        return std::unexpected(counted.error());
      }
    }
    const std::string* weather = json_text::find_first_string(*object, "weather_files");
    plan.weather_names.push_back(weather ? *weather : std::string());
    plan.groups.push_back(std::move(*group));
  }
  map_keys(plan);
  return plan;
}

StudyRows::StudyRows(const StudyPlan& plan) : plan_(plan) {}

bool StudyRows::start_group(std::size_t group) {
  for (group_ = group; group_ < plan_.groups.size(); ++group_) {
    selection_.reset();
    auto selection = native_runner::select_combinations(plan_.groups[group_].parameters,
                                                        plan_.sample);
    if (!selection) {
      error_ = selection.error();
      return false;
    }
    selection_.emplace(std::move(*selection));
    if (selection_->walk.has_current()) return true;
  }
  return false;
}

bool StudyRows::next(StudyRow& row) {
  if (!started_) {
    started_ = true;
    if (!start_group(0)) return false;
  } else if (!selection_ || !selection_->walk.has_current()) {
    return false;
  } else if (!selection_->walk.advance() && !start_group(group_ + 1)) {
    return false;
  }
  const native_runner::CombinationWalk& walk = selection_->walk;
  const auto values = walk.current();
  row.group = group_;
  row.index = walk.index();
  row.values.assign(plan_.keys.size(), std::string_view());
  const auto& lists = plan_.key_lists[group_];
  for (std::size_t key = 0; key < lists.size(); ++key) {
    if (lists[key] != StudyPlan::kNoList) row.values[key] = values[lists[key]];
  }
  return true;
}

}  // namespace study_table
