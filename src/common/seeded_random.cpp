#include "common/seeded_random.h"

#include <unordered_set>
#include <utility>

namespace common {
namespace {

std::uint64_t rotate_left(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

std::uint64_t split_mix(std::uint64_t& state) {
  state += 0x9E3779B97F4A7C15;
  std::uint64_t z = state;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EB;
  return z ^ (z >> 31);
}

}  // namespace

SeededRandom::SeededRandom(std::uint64_t seed) {
  // xoshiro256** must not start from all zeros; SplitMix64 never yields four zeros in a row.
  for (std::uint64_t& word : state_) word = split_mix(seed);
}

std::uint64_t SeededRandom::next() {
  const std::uint64_t result = rotate_left(state_[1] * 5, 7) * 9;
  const std::uint64_t t = state_[1] << 17;
  state_[2] ^= state_[0];
  state_[3] ^= state_[1];
  state_[1] ^= state_[2];
  state_[0] ^= state_[3];
  state_[2] ^= t;
  state_[3] = rotate_left(state_[3], 45);
  return result;
}

std::uint64_t SeededRandom::below(std::uint64_t bound) {
  // 2^64 mod bound, computed in 64 bits: the draws under it would favour the small values.
  const std::uint64_t threshold = (0 - bound) % bound;
  std::uint64_t x = next();
  while (x < threshold) x = next();
  return x % bound;
}

void SeededRandom::shuffle(std::span<std::uint64_t> items) {
  for (std::size_t i = items.size(); i > 1; --i) {
    std::swap(items[i - 1], items[below(i)]);
  }
}

std::vector<std::uint64_t> SeededRandom::choose_distinct(std::uint64_t population,
                                                         std::uint64_t count) {
  std::vector<std::uint64_t> chosen;
  chosen.reserve(count);
  // Only membership is asked of the set, so its hashing never shows in the result.
  std::unordered_set<std::uint64_t> taken;
  taken.reserve(count);
  for (std::uint64_t j = population - count; j < population; ++j) {
    const std::uint64_t t = below(j + 1);
    if (taken.insert(t).second) {
      chosen.push_back(t);
    } else {
      taken.insert(j);  // no value taken so far is as large as j
      chosen.push_back(j);
    }
  }
  return chosen;
}

}  // namespace common
