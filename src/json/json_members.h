#pragma once

#include <string_view>

#include "json/json.h"

namespace json_text {

// Lookups that never change the document: nlohmann's operator[] turns a null into an object and
// throws on other non-objects, so rules that must leave odd documents alone go through these.

// The member `name` of `object`, of any kind; nullptr when `object` is not an object or lacks it.
inline Json* find_member(Json& object, std::string_view name) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(name);
  return it == object.end() ? nullptr : &*it;
}

inline const Json* find_member(const Json& object, std::string_view name) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(name);
  return it == object.end() ? nullptr : &*it;
}

// Like find_member, but only a member whose value is itself an object counts.
inline Json* find_object_member(Json& object, std::string_view name) {
  Json* member = find_member(object, name);
  return member != nullptr && member->is_object() ? member : nullptr;
}

inline const Json* find_object_member(const Json& object, std::string_view name) {
  const Json* member = find_member(object, name);
  return member != nullptr && member->is_object() ? member : nullptr;
}

}  // namespace json_text
