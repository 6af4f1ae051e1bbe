#include "batch_watch/watch_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace batch_watch {
namespace {

std::string describe(const common::Result<WatchOptions>& parsed) {
  if (!parsed) return "error: " + parsed.error().message;
  return parsed->output_dir + (parsed->once ? " once" : "") + (parsed->json ? " json" : "") +
         (parsed->report ? " report=" + *parsed->report : "");
}

TEST(ParseWatchOptions, AcceptsOptionsInAnyOrderAndNamesBadWords) {
  const struct {
    std::vector<std::string> words;
    std::string expected;
  } cases[] = {
      {{"out"}, "out"},
      {{"--once", "out"}, "out once"},
      {{"out", "--json"}, "out once json"},
      {{"--report", "r.html", "out"}, "out report=r.html"},
      {{"out", "--report=r.html", "--once"}, "out once report=r.html"},
      {{}, "error: missing <output_dir>"},
      {{"--once"}, "error: missing <output_dir>"},
      {{"out", "--report"}, "error: --report needs a file name"},
      {{"--report=", "out"}, "error: --report needs a file name"},
      {{"--follow", "out"}, "error: unknown option: --follow"},
      {{"a", "b"}, "error: more than one output directory: a and b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(describe(parse_watch_options(c.words)), c.expected);
  }
}

}  // namespace
}  // namespace batch_watch
