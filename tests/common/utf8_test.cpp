#include "common/utf8.h"

#include <gtest/gtest.h>

namespace common {
namespace {

TEST(Utf8, ValidatesAndRepairs) {
  const struct {
    std::string bytes;
    bool valid;
    std::string repaired;
  } rows[] = {
      {"plain ascii text, long enough for the fast path", true,
       "plain ascii text, long enough for the fast path"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", true, "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"a\xFF"
       "b",
       false,
       "a\xEF\xBF\xBD"
       "b"},
      {"\xC0\xAF", false, "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong
      {"\xED\xA0\x80", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // surrogate
      {"\xF4\x90\x80\x80", false,
       "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // above U+10FFFF
      {"\xE2\x82", false, "\xEF\xBF\xBD"},                   // truncated: one replacement
      {"\xE2\x82x", false, "\xEF\xBF\xBDx"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(is_valid_utf8(row.bytes), row.valid) << row.bytes;
    EXPECT_EQ(to_valid_utf8_lossy(row.bytes), row.repaired) << row.bytes;
  }
}

}  // namespace
}  // namespace common
