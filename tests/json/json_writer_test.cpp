#include "json/json_writer.h"

#include <gtest/gtest.h>

#include <string>

namespace json_text {
namespace {

// Texts long enough to outgrow the writer's buffer several times, in the middle of a token.
TEST(JsonWriter, AppendsLongAndHeavilyEscapedTextsWhole) {
  const std::string controls(700, '\x01');
  std::string escaped_controls;
  for (int i = 0; i < 700; ++i) escaped_controls += "\\u0001";
  const std::string plain(5000, 'x');
  const std::string long_prefix(300, 'p');
  const std::string escaped_tail = "\"a\\\"b\\\\c\\n" + plain + "\"";
  const struct {
    std::string prefix;
    std::string text;
    std::string expected;
  } rows[] = {
      {"", controls, "\"" + escaped_controls + "\""},
      {"key: ", controls + plain, "key: \"" + escaped_controls + plain + "\""},
      {long_prefix, "a\"b\\c\n" + plain, long_prefix + escaped_tail},
  };
  for (const auto& row : rows) {
    std::string out = row.prefix;
    append_json_string(out, row.text);
    EXPECT_EQ(out, row.expected);
  }
}

TEST(JsonWriter, IndentsDeepNestingAndContinuesAnExistingText) {
  Json value = Json::array({1});
  for (int i = 0; i < 150; ++i) value = Json::array({std::move(value)});
  std::string expected;
  // Appended piece by piece: GCC 12 warns falsely on concatenating temporaries here.
  for (int i = 0; i <= 150; ++i) {
    expected += "[\n";
    expected.append(2 * (i + 2), ' ');
  }
  expected += "1";
  for (int i = 150; i >= 0; --i) {
    expected += '\n';
    expected.append(2 * (i + 1), ' ');
    expected += ']';
  }

  std::string out = "record: ";
  append_pretty_json(out, value, 1);
  EXPECT_EQ(out, "record: " + expected);
}

}  // namespace
}  // namespace json_text
