#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "json/json.h"

namespace json_text {

// The pretty text of one document, kept in pieces, so that an edited copy of it can be written
// without formatting again what the copy still has unchanged. A variant is its base model with
// a few members merged in; most of its text (and most of the float formatting) is the base's.
class PrettyTexts {
 public:
  explicit PrettyTexts(std::shared_ptr<const Json> original);

  // to_pretty_json(edited), byte for byte.
  std::string write(const Json& edited) const;

 private:
  // Objects this deep are compared whole: deeper pieces would cost more lookups than they save.
  static constexpr int kDepth = 3;

  void record(const Json& node, int level);
  void put(std::string& out, const Json& edited, const Json& original, int level) const;

  std::shared_ptr<const Json> original_;
  std::string text_;
  // Where each piece's text is in text_: the values at kDepth, and the values above it that
  // are not objects with members.
  std::unordered_map<const Json*, std::pair<std::size_t, std::size_t>> pieces_;
};

}  // namespace json_text
