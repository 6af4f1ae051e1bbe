#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace common {

// A random number generator whose every output is fixed by its seed on every platform, compiler
// and standard library, so a study sampled on one machine can be sampled again on another. The
// standard library's engines are portable but its distributions and shuffle are not; every draw
// here is therefore written out:
//
// - Seeding: SplitMix64 run from the seed S (state s = S; each step s += 0x9E3779B97F4A7C15,
//   z = s, z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9, z = (z ^ (z >> 27)) * 0x94D049BB133111EB,
//   output z ^ (z >> 31)) gives the four state words s0..s3 of xoshiro256**, in that order.
// - next(): xoshiro256** (result = rotl(s1 * 5, 7) * 9; t = s1 << 17; s2 ^= s0; s3 ^= s1;
//   s1 ^= s2; s0 ^= s3; s2 ^= t; s3 = rotl(s3, 45)), all arithmetic modulo 2^64.
// - below(n): plain rejection. With t = (2^64 - n) mod n, draw x = next() until x >= t, and
//   return x mod n. Every value below n is then exactly equally likely.
// - shuffle: Fisher-Yates from the back: for i = n-1 down to 1, swap items i and below(i + 1).
// - choose_distinct(n, m): Floyd's algorithm: for j = n-m up to n-1, draw t = below(j + 1) and
//   take t, or j when t was already taken. The values come back in the order they were taken.
class SeededRandom {
 public:
  explicit SeededRandom(std::uint64_t seed);

  std::uint64_t next();
  // A value in [0, bound); bound must be at least 1.
  std::uint64_t below(std::uint64_t bound);
  void shuffle(std::span<std::uint64_t> items);
  // `count` distinct values of [0, population), count <= population, in time and memory
  // proportional to `count`.
  std::vector<std::uint64_t> choose_distinct(std::uint64_t population, std::uint64_t count);

 private:
  std::uint64_t state_[4];
};

}  // namespace common
