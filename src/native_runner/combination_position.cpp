#include "native_runner/combination_position.h"

#include <cstdint>
#include <limits>

namespace native_runner {

double percentage_of(const common::BigCount& index, const common::BigCount& total) {
  const auto small_index = index.to_u64();
  const auto small_total = total.to_u64();
  if (small_index && small_total && *small_index < std::numeric_limits<std::uint64_t>::max()) {
    const double share = static_cast<double>(*small_index + 1) / static_cast<double>(*small_total);
    return share * 100.0;
  }
  common::BigCount next = index;
  next.increment();
  return next.to_double() / total.to_double() * 100.0;
}

json_text::Json index_json(const common::BigCount& index) {
  if (const auto small = index.to_u64()) return *small;
  return index.decimal();
}

}  // namespace native_runner
