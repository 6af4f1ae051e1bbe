#pragma once

#include <string>
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

// Like find_member, but only a member whose value is an array counts.
inline const Json* find_array_member(const Json& object, std::string_view name) {
  const Json* member = find_member(object, name);
  return member != nullptr && member->is_array() ? member : nullptr;
}

// The text of the member `name` when its value is a string; nullptr otherwise.
inline const std::string* find_string_member(const Json& object, std::string_view name) {
  const Json* member = find_member(object, name);
  return member != nullptr && member->is_string() ? &member->get_ref<const std::string&>()
                                                  : nullptr;
}

// The text of the first element of the array member `name`, when there is one and it is a
// string; nullptr otherwise.
inline const std::string* find_first_string(const Json& object, std::string_view name) {
  const Json* array = find_array_member(object, name);
  if (array == nullptr || array->empty() || !array->front().is_string()) return nullptr;
  return &array->front().get_ref<const std::string&>();
}

}  // namespace json_text
