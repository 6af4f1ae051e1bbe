#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

namespace common {

// A pattern for files below one folder, as users write them to pick an engine's outputs:
// "*.csv", "out/summary.json", "reports/**/*.txt". Segments are separated by '/'. In a segment,
// '*' stands for any run of characters and '?' for one character, neither reaching past a '/';
// a segment that is exactly "**" stands for any number of whole segments, none included. A
// pattern without '/' is matched against the file name alone, at any depth; a pattern with '/'
// against the whole path below the folder. Characters are compared byte for byte, so names match
// exactly as they are spelled (upper and lower case differ).
class PathPattern {
 public:
  // Fails, quoting the pattern and saying why, for an empty pattern, one that begins or ends with
  // '/', has an empty, "." or ".." segment, a '\' (folders are separated by '/' on every platform),
  // or a "**" inside a longer segment.
  static Result<PathPattern> parse(std::string_view text);

  // `relative_path` is a file's path below the folder, segments separated by '/', without a
  // leading '/'.
  bool matches(std::string_view relative_path) const;

  const std::string& text() const { return text_; }

  friend bool operator==(const PathPattern&, const PathPattern&) = default;

 private:
  PathPattern(std::string text, std::vector<std::string> segments, bool name_only);

  std::string text_;
  std::vector<std::string> segments_;
  bool name_only_;
};

// True when any of `patterns` matches; false for an empty list.
bool matches_any(const std::vector<PathPattern>& patterns, std::string_view relative_path);

}  // namespace common
