#include "json/pretty_texts.h"

#include "json/json_identical.h"
#include "json/json_writer.h"

namespace json_text {
namespace {

bool opens_up(const Json& node, int level, int depth) {
  return level < depth && node.is_object() && !node.empty();
}

// The lines of an object, as the pretty writer lays them out: one member per line, indented by
// two spaces per level.
template <typename PutMember>
void put_object(std::string& out, const Json& object, int level, PutMember put_member) {
  out += "{\n";
  bool first = true;
  for (const auto& [name, member] : *object.get_ptr<const Json::object_t*>()) {
    if (!first) out += ",\n";
    first = false;
    out.append(static_cast<std::size_t>(level + 1) * 2, ' ');
    append_json_string(out, name);
    out += ": ";
    put_member(name, member);
  }
  out += '\n';
  out.append(static_cast<std::size_t>(level) * 2, ' ');
  out += '}';
}

}  // namespace

PrettyTexts::PrettyTexts(std::shared_ptr<const Json> original) : original_(std::move(original)) {
  record(*original_, 0);
}

void PrettyTexts::record(const Json& node, int level) {
  if (opens_up(node, level, kDepth)) {
    put_object(text_, node, level,
               [&](const std::string&, const Json& member) { record(member, level + 1); });
    return;
  }
  const std::size_t begin = text_.size();
  append_pretty_json(text_, node, level);
  pieces_.emplace(&node, std::pair{begin, text_.size() - begin});
}

std::string PrettyTexts::write(const Json& edited) const {
  std::string out;
  out.reserve(text_.size() + text_.size() / 8);
  put(out, edited, *original_, 0);
  return out;
}

void PrettyTexts::put(std::string& out, const Json& edited, const Json& original, int level) const {
  if (opens_up(original, level, kDepth) && opens_up(edited, level, kDepth)) {
    const auto& members = *original.get_ptr<const Json::object_t*>();
    put_object(out, edited, level, [&](const std::string& name, const Json& member) {
      const auto found = members.find(name);
      if (found == members.end()) return append_pretty_json(out, member, level + 1);
      put(out, member, found->second, level + 1);
    });
    return;
  }
  const auto piece = pieces_.find(&original);
  if (piece != pieces_.end() && identical(edited, original)) {
    out.append(text_, piece->second.first, piece->second.second);
    return;
  }
  append_pretty_json(out, edited, level);
}

}  // namespace json_text
