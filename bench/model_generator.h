#pragma once

#include <cstdint>

#include "json/json.h"

// Deterministic model documents for benchmarks: the same shape always gives the same bytes, so
// runs on different builds are comparable.
namespace bench {

using json_text::Json;

struct ModelShape {
  int zones = 4;
  int elements_per_zone = 16;
  int bridges_per_zone = 12;
  int controls = 6;
  int schedule_length = 1200;
  int gains = 4;
  // Only the sections the benchmarked merges touch, with a minimum of members.
  bool minimal_services = false;
};

// About 250 KB in the pretty form: several zones, dozens of elements and bridges, long numeric
// schedules, a few non-ASCII names.
ModelShape realistic_shape();

// About 1 KB in the pretty form; for batches whose cost is dominated by per-combination overhead.
ModelShape small_shape();

Json make_model(const ModelShape& shape);

// The zone names make_model uses, in creation order (not sorted).
Json zone_names(const ModelShape& shape);

// splitmix64: tiny, fast and good enough to spread numbers over many textual lengths.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  // An integer in [low, high].
  std::int64_t between(std::int64_t low, std::int64_t high);
  // A value in [low, high) rounded to `decimals` places, as a float.
  double decimal(double low, double high, int decimals);

 private:
  std::uint64_t state_;
};

}  // namespace bench
