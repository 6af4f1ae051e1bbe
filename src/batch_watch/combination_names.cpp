#include "batch_watch/combination_names.h"

#include <charconv>

namespace batch_watch {
namespace {

std::optional<std::uint64_t> narrow(std::string_view digits) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace

std::uint64_t key_hash(const CombinationKey& key) {
  // splitmix64's finaliser over the packed key: sequential indices spread over the whole table.
  std::uint64_t x = key.index ^ (std::uint64_t{key.group} << 40) ^
                    (std::uint64_t{key.wide} << 62) ^ (std::uint64_t{key.bare} << 63);
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

std::optional<NameSuffix> split_model_name(std::string_view model_name) {
  const auto underscore = model_name.rfind('_');
  if (underscore == std::string_view::npos || underscore == 0) return std::nullopt;
  const std::string_view digits = model_name.substr(underscore + 1);
  if (digits.empty() || (digits[0] == '0' && digits.size() > 1)) return std::nullopt;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return NameSuffix{model_name.substr(0, underscore), digits};
}

std::uint32_t NameTable::group_id(std::string_view name) {
  if (last_group_ && groups_[*last_group_] == name) return *last_group_;
  auto found = find_group(name);
  if (!found) {
    found = static_cast<std::uint32_t>(groups_.size());
    groups_.emplace_back(name);
    group_ids_.emplace(groups_.back(), *found);
  }
  last_group_ = found;
  return *found;
}

std::optional<std::uint32_t> NameTable::find_group(std::string_view name) const {
  const auto found = group_ids_.find(name);
  if (found == group_ids_.end()) return std::nullopt;
  return found->second;
}

CombinationKey NameTable::key_of(std::string_view model_name, std::optional<std::uint64_t> index) {
  if (index) {
    char buffer[24] = {'_'};
    const auto end = std::to_chars(buffer + 1, buffer + sizeof buffer, *index).ptr;
    const std::string_view suffix(buffer, static_cast<std::size_t>(end - buffer));
    if (model_name.size() > suffix.size() && model_name.ends_with(suffix)) {
      return {group_id(model_name.substr(0, model_name.size() - suffix.size())), false, false,
              *index};
    }
    return {group_id(model_name), false, true, *index};
  }
  const auto suffix = split_model_name(model_name);
  if (!suffix) return {group_id(model_name), false, true, 0};
  const std::uint32_t group = group_id(suffix->group);
  if (auto value = narrow(suffix->digits)) return {group, false, false, *value};
  const auto [found, added] = wide_ids_.try_emplace(std::string(suffix->digits), wide_.size());
  if (added) wide_.emplace_back(suffix->digits);
  return {group, true, false, found->second};
}

std::optional<CombinationKey> NameTable::find_key(std::string_view model_name) const {
  const auto suffix = split_model_name(model_name);
  if (!suffix) return std::nullopt;
  const auto group = find_group(suffix->group);
  if (!group) return std::nullopt;
  if (auto value = narrow(suffix->digits)) return CombinationKey{*group, false, false, *value};
  const auto found = wide_ids_.find(suffix->digits);
  if (found == wide_ids_.end()) return std::nullopt;
  return CombinationKey{*group, true, false, found->second};
}

std::string NameTable::index_text(const CombinationKey& key) const {
  return key.wide ? wide_[key.index] : std::to_string(key.index);
}

std::string NameTable::model_name(const CombinationKey& key) const {
  if (key.bare) return groups_[key.group];
  return groups_[key.group] + "_" + index_text(key);
}

bool NameTable::index_less(const CombinationKey& a, const CombinationKey& b) const {
  if (a.wide != b.wide) return b.wide;
  if (!a.wide) return a.index < b.index;
  const std::string& x = wide_[a.index];
  const std::string& y = wide_[b.index];
  return x.size() != y.size() ? x.size() < y.size() : x < y;
}

}  // namespace batch_watch
