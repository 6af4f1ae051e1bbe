#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace batch_watch {

// A combination without its name's text: the batch names it "{group}_{index}". `group` is a
// number from a NameTable. An index wider than 64 bits (a sample of a vast group) is kept as
// decimal text in the table, and `index` is then its number there. A name that does not end in
// its index is a group of its own (`bare`), as records that do not follow the rule have always
// been shown.
struct CombinationKey {
  std::uint32_t group = 0;
  bool wide = false;
  bool bare = false;
  std::uint64_t index = 0;

  bool operator==(const CombinationKey&) const = default;
};

std::uint64_t key_hash(const CombinationKey& key);

struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};
template <typename T>
using TextMap = std::unordered_map<std::string, T, TextHash, std::equal_to<>>;

// The group names and wide indices of one output directory, shared by all its jobs so that
// their combinations compare by number.
class NameTable {
 public:
  std::uint32_t group_id(std::string_view name);
  std::optional<std::uint32_t> find_group(std::string_view name) const;
  const std::string& group_name(std::uint32_t id) const { return groups_[id]; }

  // The combination a record names. `index` is the record's index where it is a 64-bit
  // unsigned integer; otherwise the index is read from the name's last "_{decimal}".
  CombinationKey key_of(std::string_view model_name, std::optional<std::uint64_t> index);

  // The same for a name alone (snapshots carry no index), without adding to the table; nothing
  // when no record named such a combination.
  std::optional<CombinationKey> find_key(std::string_view model_name) const;

  std::string index_text(const CombinationKey& key) const;
  std::string model_name(const CombinationKey& key) const;

  // Index order: 64-bit indices first, then wide ones by value.
  bool index_less(const CombinationKey& a, const CombinationKey& b) const;

 private:
  std::vector<std::string> groups_;
  TextMap<std::uint32_t> group_ids_;
  std::vector<std::string> wide_;
  TextMap<std::uint64_t> wide_ids_;
  // Records come in runs of one group.
  std::optional<std::uint32_t> last_group_;
};

// Where a name's "_{decimal}" suffix starts, and its digits; nothing when it has none (digits
// without a leading zero, after a non-empty prefix).
struct NameSuffix {
  std::string_view group;
  std::string_view digits;
};
std::optional<NameSuffix> split_model_name(std::string_view model_name);

}  // namespace batch_watch
