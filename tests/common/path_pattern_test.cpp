#include "common/path_pattern.h"

#include <gtest/gtest.h>

#include <string>

namespace common {
namespace {

TEST(PathPattern, MatchesNamesAtAnyDepthAndPathsFromTheTop) {
  const struct {
    std::string_view pattern;
    std::string_view path;
    bool matches;
  } kRows[] = {
      // Without '/', the file name at any depth.
      {"*.csv", "summary.csv", true},
      {"*.csv", "run__results/deep/summary.csv", true},
      {"*.csv", "summary.csv.bak", false},
      {"*__summary.csv", "house_0__summary.csv", true},
      {"summary.???", "a/summary.csv", true},
      {"summary.???", "a/summary.json", false},
      {"*", "a/b/c", true},
      {"Summary.csv", "summary.csv", false},
      // With '/', the whole path; '*' and '?' stay within a segment.
      {"out/summary.json", "out/summary.json", true},
      {"out/summary.json", "x/out/summary.json", false},
      {"out/*.json", "out/a.json", true},
      {"out/*.json", "out/sub/a.json", false},
      {"*/a.json", "out/a.json", true},
      {"o?t/a.json", "out/a.json", true},
      // '**' spans whole segments, none included.
      {"**/a.json", "a.json", true},
      {"**/a.json", "x/y/a.json", true},
      {"out/**", "out/x/y.txt", true},
      {"out/**", "out", true},
      {"out/**/z.txt", "out/z.txt", true},
      {"out/**/z.txt", "out/a/b/z.txt", true},
      {"out/**/z.txt", "other/a/z.txt", false},
      {"**", "anything/at/all", true},
      {"a/**/b/**/c", "a/x/b/y/z/c", true},
      {"a/**/b/**/c", "a/x/c", false},
      // A long run of stars against a long name stays quick and correct.
      {"*a*a*a*a*a*a*b", std::string_view("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"), false},
  };
  for (const auto& row : kRows) {
    const auto pattern = PathPattern::parse(row.pattern);
    ASSERT_TRUE(pattern.has_value()) << row.pattern << ": " << pattern.error().message;
    EXPECT_EQ(pattern->matches(row.path), row.matches) << row.pattern << " ~ " << row.path;
  }
}

TEST(PathPattern, RefusesPatternsThatCannotNameFilesBelowTheFolder) {
  const struct {
    std::string_view pattern;
    std::string_view why;
  } kRows[] = {
      {"", "it is empty"},
      {"/etc/passwd", "it must be relative (no leading '/')"},
      {"out/", "it must name files (no trailing '/')"},
      {"out//a", "it has an empty segment ('//')"},
      {"../secret", "'.' and '..' segments are not allowed"},
      {"a/./b", "'.' and '..' segments are not allowed"},
      {"out\\a.csv", "folders are separated by '/'"},
      {"a**/b", "'**' must be a whole segment"},
  };
  for (const auto& row : kRows) {
    const auto pattern = PathPattern::parse(row.pattern);
    ASSERT_FALSE(pattern.has_value()) << row.pattern;
    EXPECT_EQ(pattern.error().message,
              "invalid file pattern '" + std::string(row.pattern) + "': " + std::string(row.why));
  }
}

TEST(PathPattern, AnyOfSeveral) {
  std::vector<PathPattern> patterns;
  for (const char* text : {"*.csv", "out/summary.json"})
    patterns.push_back(*PathPattern::parse(text));
  EXPECT_TRUE(matches_any(patterns, "deep/x.csv"));
  EXPECT_TRUE(matches_any(patterns, "out/summary.json"));
  EXPECT_FALSE(matches_any(patterns, "log.txt"));
  EXPECT_FALSE(matches_any({}, "x.csv"));
}

}  // namespace
}  // namespace common
