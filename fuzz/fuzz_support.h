#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "json/json.h"
#include "json/json_reader.h"
#include "json/json_writer.h"

namespace fuzz_support {

using json_text::Json;

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Several documents travel in one input separated by NUL bytes, which valid JSON text never
// contains outside a string escape; seed files stay readable and the mutator can still move a
// byte across a boundary.
inline std::vector<std::string_view> split_documents(std::string_view input, std::size_t count) {
  std::vector<std::string_view> documents;
  while (documents.size() + 1 < count) {
    const std::size_t nul = input.find('\0');
    if (nul == std::string_view::npos) break;
    documents.push_back(input.substr(0, nul));
    input.remove_prefix(nul + 1);
  }
  documents.push_back(input);
  documents.resize(count);
  return documents;
}

// A property violation is as much a finding as a crash: report and stop so libFuzzer saves
// the input.
[[noreturn]] inline void violated(const char* property, std::string_view detail) {
  std::fprintf(stderr, "property violated: %s\n%.*s\n", property, static_cast<int>(detail.size()),
               detail.data());
  std::abort();
}

inline void require(bool holds, const char* property, std::string_view detail = {}) {
  if (!holds) violated(property, detail);
}

// Nesting depth of a value: scalars 0, containers one more than their deepest element.
inline std::size_t depth_of(const Json& value) {
  std::size_t deepest = 0;
  if (value.is_structured()) {
    for (const auto& element : value) deepest = std::max(deepest, depth_of(element));
    return deepest + 1;
  }
  return 0;
}

// Whatever a merge left behind must still be a document the system can write and, as long as it
// stays within the reader's nesting limit, read back unchanged.
inline void require_writable(const Json& model, const char* what) {
  const std::string pretty = json_text::to_pretty_json(model);
  if (depth_of(model) > json_text::kMaxJsonDepth) return;
  const auto reread = json_text::parse_json(pretty);
  require(reread.has_value(), what, reread ? std::string_view{} : reread.error().message);
  require(json_text::to_pretty_json(*reread) == pretty, what, pretty);
}

}  // namespace fuzz_support
