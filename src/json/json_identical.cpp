#include "json/json_identical.h"

#include <bit>
#include <cstdint>

namespace json_text {

bool identical(const Json& a, const Json& b) {
  if (a.type() != b.type()) return false;
  switch (a.type()) {
    case Json::value_t::object: {
      const auto& left = *a.get_ptr<const Json::object_t*>();
      const auto& right = *b.get_ptr<const Json::object_t*>();
      if (left.size() != right.size()) return false;
      for (auto l = left.begin(), r = right.begin(); l != left.end(); ++l, ++r) {
        if (l->first != r->first || !identical(l->second, r->second)) return false;
      }
      return true;
    }
    case Json::value_t::array: {
      const auto& left = *a.get_ptr<const Json::array_t*>();
      const auto& right = *b.get_ptr<const Json::array_t*>();
      if (left.size() != right.size()) return false;
      for (std::size_t i = 0; i < left.size(); ++i) {
        if (!identical(left[i], right[i])) return false;
      }
      return true;
    }
    case Json::value_t::number_float:
      return std::bit_cast<std::uint64_t>(*a.get_ptr<const Json::number_float_t*>()) ==
             std::bit_cast<std::uint64_t>(*b.get_ptr<const Json::number_float_t*>());
    default:
      return a == b;
  }
}

void restore(Json& copy, const Json& original, int depth) {
  if (depth <= 0 || !copy.is_object() || !original.is_object()) {
    if (!identical(copy, original)) copy = original;
    return;
  }
  auto& members = *copy.get_ptr<Json::object_t*>();
  const auto& wanted = *original.get_ptr<const Json::object_t*>();
  for (auto member = members.begin(); member != members.end();) {
    member = wanted.contains(member->first) ? std::next(member) : members.erase(member);
  }
  for (const auto& [name, value] : wanted) {
    const auto found = members.find(name);
    if (found == members.end()) {
      members.emplace(name, value);
    } else {
      restore(found->second, value, depth - 1);
    }
  }
}

}  // namespace json_text
