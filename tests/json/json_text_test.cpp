#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "json/json_file.h"
#include "json/json_reader.h"
#include "json/json_writer.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace json_text {
namespace {

std::string compact(std::string_view text) {
  auto value = parse_json(text);
  if (!value) return "ERROR: " + value.error().message;
  return to_compact_json(*value);
}

TEST(JsonText, RoundTripsThroughTheCompactForm) {
  const struct {
    std::string input;
    std::string expected;
  } rows[] = {
      // Members sorted by bytes: upper-case initials and digits first, non-ASCII last.
      {R"({"b":1,"a":2,"Z":3,"é":4,"1":5})", R"({"1":5,"Z":3,"a":2,"b":1,"é":4})"},
      {R"({"a":1,"a":2})", R"({"a":2})"},  // later duplicate wins
      {"90", "90"},
      {"90.0", "90.0"},
      {"-5", "-5"},
      {"-0", "0"},
      {"-0.0", "-0.0"},
      {"18446744073709551615", "18446744073709551615"},
      {"-9223372036854775808", "-9223372036854775808"},
      {"18446744073709551616", "1.8446744073709552e19"},
      {"1e2", "100.0"},
      {"23", "23"},
      {"0.1", "0.1"},
      {"1E-7", "1e-7"},
      {"1e300", "1e300"},
      {"1.5e300", "1.5e300"},
      {"0.00001", "0.00001"},
      {"1e16", "1e16"},
      {"1e15", "1000000000000000.0"},
      {"66.66666666666666", "66.66666666666666"},
      {"1e-400", "0.0"},
      {"-1e-400", "-0.0"},
      {"0." + std::string(400, '0') + "1e10", "0.0"},  // too small despite a positive exponent
      {R"("a/b é \u00e9 \ud83d\ude00")", R"("a/b é é 😀")"},
      {R"("q\"b\\n\nt\tr\rf\fb\b\u0001\u001f\u007f")", R"("q\"b\\n\nt\tr\rf\fb\b\u0001\u001f)"
                                                       "\x7f\""},
      {" [ true , false , null , {} , [] ] ", "[true,false,null,{},[]]"},
  };
  for (const auto& row : rows) EXPECT_EQ(compact(row.input), row.expected) << row.input;
}

TEST(JsonText, KeepsIntegersApartFromFloats) {
  EXPECT_TRUE(parse_json("90")->is_number_integer());
  EXPECT_TRUE(parse_json("90.0")->is_number_float());
  EXPECT_TRUE(parse_json("-1")->is_number_integer());
  EXPECT_TRUE(parse_json("-0")->is_number_integer());
  EXPECT_TRUE(parse_json("-0e0")->is_number_float());
}

TEST(JsonText, RefusesMalformedText) {
  const struct {
    std::string input;
    std::string expected;
  } rows[] = {
      {"", "EOF while parsing a value at line 1 column 1"},
      {"\xEF\xBB\xBF{}", "expected value at line 1 column 1"},  // byte-order mark
      {"{} x", "trailing characters at line 1 column 4"},
      {"{\n  \"a\": tru\n}", "expected ident at line 2 column 11"},
      {"[1,]", "trailing comma at line 1 column 4"},
      {"{\"a\" 1}", "expected `:` at line 1 column 6"},
      {"{1:2}", "key must be a string at line 1 column 2"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"01", "invalid number at line 1 column 2"},
      {"1e999", "number out of range at line 1 column 1"},
      {"[1" + std::string(400, '0') + "e-1]", "number out of range at line 1 column 2"},
      {"\"a\tb\"",
       "control character (\\u0000-\\u001F) found while parsing a string at line 1 column 3"},
      {R"("\x")", "invalid escape at line 1 column 3"},
      {R"("\ud800")", "lone leading surrogate in hex escape at line 1 column 8"},
      {"\"abc", "EOF while parsing a string at line 1 column 5"},
      {"[\xff]", "stream did not contain valid UTF-8"},
      {std::string(129, '[') + std::string(129, ']'),
       "recursion limit exceeded at line 1 column 129"},
  };
  for (const auto& row : rows) EXPECT_EQ(compact(row.input), "ERROR: " + row.expected) << row.input;
}

TEST(JsonText, AcceptsNestingUpToTheLimit) {
  const std::string deep = std::string(128, '[') + std::string(128, ']');
  EXPECT_EQ(compact(deep), deep);
}

TEST(JsonText, WritesThePrettyForm) {
  const auto value = parse_json(R"({"b":[1,2.5,{}],"a":{"x":null,"y":[]},"c":"s"})");
  ASSERT_TRUE(value);
  EXPECT_EQ(to_pretty_json(*value),
            "{\n"
            "  \"a\": {\n"
            "    \"x\": null,\n"
            "    \"y\": []\n"
            "  },\n"
            "  \"b\": [\n"
            "    1,\n"
            "    2.5,\n"
            "    {}\n"
            "  ],\n"
            "  \"c\": \"s\"\n"
            "}");
  EXPECT_EQ(to_pretty_json(Json::object()), "{}");
  EXPECT_EQ(to_pretty_json(Json("x")), "\"x\"");
}

TEST(JsonText, WritesFloatsInTheShortestForm) {
  const struct {
    double value;
    std::string expected;
  } rows[] = {
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {23.0, "23.0"},
      {100.0, "100.0"},
      {0.33, "0.33"},
      {1e-7, "1e-7"},
      {1e300, "1e300"},
      {-2.5e-10, "-2.5e-10"},
      {1.0 / 3.0, "0.3333333333333333"},
      {2.0 / 3.0 * 100.0, "66.66666666666666"},
      {200.0 / 3.0, "66.66666666666667"},
      {std::numeric_limits<double>::infinity(), "null"},
      {std::numeric_limits<double>::quiet_NaN(), "null"},
  };
  for (const auto& row : rows) EXPECT_EQ(format_json_float(row.value), row.expected);
}

TEST(JsonText, ReportsTheTypeOfANonObjectTopLevel) {
  const struct {
    std::string input;
    std::string expected;
  } rows[] = {
      {"[1]", "invalid type: sequence, expected a map at line 1 column 1"},
      {"\n  null", "invalid type: unit value, expected a map at line 2 column 3"},
      {"true", "invalid type: boolean `true`, expected a map at line 1 column 1"},
      {"-5", "invalid type: integer `-5`, expected a map at line 1 column 1"},
      {"2.0", "invalid type: floating point `2.0`, expected a map at line 1 column 1"},
      {R"("a\"b")", "invalid type: string \"a\\\"b\", expected a map at line 1 column 1"},
  };
  for (const auto& row : rows) {
    const auto value = parse_json_object(row.input);
    ASSERT_FALSE(value) << row.input;
    EXPECT_EQ(value.error().message, row.expected);
  }
  EXPECT_TRUE(parse_json_object("{}"));
}

TEST(JsonText, ReadsFilesWithOsErrorsAndUtf8Check) {
  test_support::TempDir dir;
  const auto missing = read_json_file(dir.path() / "missing.json");
  ASSERT_FALSE(missing);
#ifdef _WIN32
  EXPECT_EQ(missing.error(), platform::os_error(2));  // ERROR_FILE_NOT_FOUND, worded by Windows
#else
  EXPECT_EQ(missing.error().message, "No such file or directory (os error 2)");
#endif

  const auto latin1 = read_json_file(dir.write("latin1.json", "{\"a\":\"\xe9\"}"));
  ASSERT_FALSE(latin1);
  EXPECT_EQ(latin1.error().message, "stream did not contain valid UTF-8");

  const auto good = read_json_file(dir.write("good.json", "{\"a\": [1, 2.0]}"));
  ASSERT_TRUE(good);
  EXPECT_EQ(to_compact_json(*good), "{\"a\":[1,2.0]}");
}

}  // namespace
}  // namespace json_text
