#include "study_table/main_effects.h"

#include <algorithm>
#include <utility>

namespace study_table {

MainEffects::MainEffects(std::vector<std::string> metrics, std::vector<std::string> keys)
    : metrics_(std::move(metrics)), keys_(std::move(keys)), panels_(metrics_.size() * keys_.size()) {}

void MainEffects::add(const std::vector<std::string_view>& key_values,
                      const std::vector<std::optional<double>>& metric_values) {
  for (std::size_t metric = 0; metric < metrics_.size(); ++metric) {
    if (!metric_values[metric]) continue;
    const double number = *metric_values[metric];
    for (std::size_t key = 0; key < keys_.size(); ++key) {
      if (key_values[key].empty()) continue;
      Panel& panel = panels_[metric * keys_.size() + key];
      const std::string value(key_values[key]);
      auto [at, inserted] = panel.position.try_emplace(value, panel.levels.size());
      if (inserted) panel.levels.push_back(EffectLevel{value, 0, 0.0, number, number});
      EffectLevel& level = panel.levels[at->second];
      ++level.rows;
      level.sum += number;
      level.min = std::min(level.min, number);
      level.max = std::max(level.max, number);
    }
  }
}

}  // namespace study_table
