#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace study_table {

// One value of one parameter key: the metric over the succeeded rows that have it.
struct EffectLevel {
  std::string value;
  std::uint64_t rows = 0;
  double sum = 0.0;
  double min = 0.0;
  double max = 0.0;

  double mean() const { return rows == 0 ? 0.0 : sum / static_cast<double>(rows); }
};

// The main effect of each parameter key on each metric: per value of the key, how many rows
// had a number for the metric, and their mean, minimum and maximum. Memory grows with the
// number of distinct values, never with the number of rows.
class MainEffects {
 public:
  MainEffects(std::vector<std::string> metrics, std::vector<std::string> keys);

  // One succeeded row: its value of each key (empty where its group lacks the key) and the
  // number each metric has in it, when it has one.
  void add(const std::vector<std::string_view>& key_values,
           const std::vector<std::optional<double>>& metric_values);

  const std::vector<std::string>& metrics() const { return metrics_; }
  const std::vector<std::string>& keys() const { return keys_; }
  // The levels of one key for one metric, in the order the values first appeared.
  const std::vector<EffectLevel>& levels(std::size_t metric, std::size_t key) const {
    return panels_[metric * keys_.size() + key].levels;
  }

 private:
  struct Panel {
    std::vector<EffectLevel> levels;
    std::unordered_map<std::string, std::size_t> position;
  };

  std::vector<std::string> metrics_;
  std::vector<std::string> keys_;
  std::vector<Panel> panels_;  // metric-major
};

}  // namespace study_table
