#include "common/path_pattern.h"

#include <utility>

namespace common {
namespace {

constexpr std::string_view kAnyDepth = "**";

std::vector<std::string_view> split(std::string_view text) {
  std::vector<std::string_view> segments;
  for (std::size_t start = 0;;) {
    const std::size_t slash = text.find('/', start);
    segments.push_back(text.substr(start, slash - start));
    if (slash == std::string_view::npos) return segments;
    start = slash + 1;
  }
}

// '*' and '?' within one segment. The classic two-pointer walk: on a mismatch, go back to the
// last '*' and let it take one more character, which keeps the work linear in practice and never
// exponential.
bool segment_matches(std::string_view pattern, std::string_view name) {
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::string_view problem_with(std::string_view text, const std::vector<std::string_view>& parts) {
  if (text.empty()) return "it is empty";
  if (text.find('\\') != std::string_view::npos) return "folders are separated by '/'";
  if (text.front() == '/') return "it must be relative (no leading '/')";
  if (text.back() == '/') return "it must name files (no trailing '/')";
  for (std::string_view part : parts) {
    if (part.empty()) return "it has an empty segment ('//')";
    if (part == "." || part == "..") return "'.' and '..' segments are not allowed";
    if (part != kAnyDepth && part.find(kAnyDepth) != std::string_view::npos) {
      return "'**' must be a whole segment";
    }
  }
  return {};
}

}  // namespace

PathPattern::PathPattern(std::string text, std::vector<std::string> segments, bool name_only)
    : text_(std::move(text)), segments_(std::move(segments)), name_only_(name_only) {}

Result<PathPattern> PathPattern::parse(std::string_view text) {
  const std::vector<std::string_view> parts = split(text);
  if (const std::string_view problem = problem_with(text, parts); !problem.empty()) {
    return fail("invalid file pattern '" + std::string(text) + "': " + std::string(problem));
  }
  std::vector<std::string> segments(parts.begin(), parts.end());
  const bool name_only = segments.size() == 1 && segments.front() != kAnyDepth;
  return PathPattern(std::string(text), std::move(segments), name_only);
}

bool PathPattern::matches(std::string_view relative_path) const {
  const std::vector<std::string_view> names = split(relative_path);
  if (name_only_) return segment_matches(segments_.front(), names.back());
  // reachable[n]: the pattern segments taken so far can cover exactly the first n names.
  std::vector<char> reachable(names.size() + 1, 0);
  reachable[0] = 1;
  for (const std::string& segment : segments_) {
    std::vector<char> next(names.size() + 1, 0);
    for (std::size_t n = 0; n <= names.size(); ++n) {
      if (!reachable[n]) continue;
      if (segment == kAnyDepth) {
        for (std::size_t m = n; m <= names.size(); ++m) next[m] = 1;
        break;
      }
      if (n < names.size() && segment_matches(segment, names[n])) next[n + 1] = 1;
    }
    reachable = std::move(next);
  }
  return reachable[names.size()] != 0;
}

bool matches_any(const std::vector<PathPattern>& patterns, std::string_view relative_path) {
  for (const PathPattern& pattern : patterns) {
    if (pattern.matches(relative_path)) return true;
  }
  return false;
}

}  // namespace common
