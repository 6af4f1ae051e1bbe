#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "batch_watch/combination_names.h"

namespace batch_watch {

// Finds entries by their CombinationKey in a few bytes per entry: an open-addressing table of
// entry numbers, each entry's key told by the caller's `key_of(number)`, so keys are not stored
// twice.
class KeyIndex {
 public:
  template <typename KeyOf>
  std::optional<std::uint32_t> find(const CombinationKey& key, const KeyOf& key_of) const {
    if (slots_.empty()) return std::nullopt;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = key_hash(key) & mask;; i = (i + 1) & mask) {
      const std::uint32_t entry = slots_[i];
      if (entry == kEmpty) return std::nullopt;
      if (key_of(entry) == key) return entry;
    }
  }

  // `entry` must not be in the table yet.
  template <typename KeyOf>
  void insert(std::uint32_t entry, const CombinationKey& key, const KeyOf& key_of) {
    if (2 * (count_ + 1) > slots_.size()) {
      std::vector<std::uint32_t> old(slots_.empty() ? 16 : 2 * slots_.size(), kEmpty);
      old.swap(slots_);
      for (std::uint32_t kept : old) {
        if (kept != kEmpty) place(kept, key_of(kept));
      }
    }
    place(entry, key);
    ++count_;
  }

 private:
  static constexpr std::uint32_t kEmpty = UINT32_MAX;

  void place(std::uint32_t entry, const CombinationKey& key) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = key_hash(key) & mask;
    while (slots_[i] != kEmpty) i = (i + 1) & mask;
    slots_[i] = entry;
  }

  std::vector<std::uint32_t> slots_;
  std::size_t count_ = 0;
};

}  // namespace batch_watch
