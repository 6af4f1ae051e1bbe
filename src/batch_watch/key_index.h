#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "batch_watch/combination_names.h"

namespace batch_watch {

// Finds entries by their CombinationKey in a few bytes per entry. A group run in full names its
// indices from 0 up, so those go into a table per group indexed by the combination's index (4
// bytes each, no search); the rest (samples' sparse and wide indices, names that are their own
// group) into an open-addressing table of entry numbers, each entry's key told by the caller's
// `key_of(number)`, so keys are never stored twice.
class KeyIndex {
 public:
  template <typename KeyOf>
  std::optional<std::uint32_t> find(const CombinationKey& key, const KeyOf& key_of) const {
    if (dense_key(key) && key.group < dense_.size()) {
      const Dense& dense = dense_[key.group];
      if (key.index < dense.entries.size() && dense.entries[key.index] != kEmpty) {
        return dense.entries[key.index];
      }
    }
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
    if (dense_key(key)) {
      if (key.group >= dense_.size()) dense_.resize(key.group + 1);
      Dense& dense = dense_[key.group];
      // Only as far ahead as the entries there pay for, whatever index a record names.
      if (key.index < 2 * dense.count + kDenseStart) {
        if (key.index >= dense.entries.size()) dense.entries.resize(key.index + 1, kEmpty);
        dense.entries[key.index] = entry;
        ++dense.count;
        return;
      }
    }
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
  static constexpr std::uint64_t kDenseStart = 4096;

  struct Dense {
    std::vector<std::uint32_t> entries;  // by index; kEmpty where none
    std::uint64_t count = 0;
  };

  static bool dense_key(const CombinationKey& key) { return !key.wide && !key.bare; }

  void place(std::uint32_t entry, const CombinationKey& key) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = key_hash(key) & mask;
    while (slots_[i] != kEmpty) i = (i + 1) & mask;
    slots_[i] = entry;
  }

  std::vector<Dense> dense_;  // by group
  std::vector<std::uint32_t> slots_;
  std::size_t count_ = 0;
};

}  // namespace batch_watch
