#include "study_table/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstring>

namespace study_table {
namespace {

TEST(NumberText, ReadsNumbersExactlyAsTheGeneralReaderAndWritesTheShortestText) {
  // Plain decimals take a shortcut; each must give the very bits the general reader gives.
  const char* plain[] = {"0", "-0", "12.375", "0.1", "0.30000000000000004", "999999999999999",
                         "-4210.5", "1.000000000000001", "123456789012345.", ".5", "7e2",
                         "1234567890123456", "0.000000000000000000001"};
  for (const char* text : plain) {
    SCOPED_TRACE(text);
    double expected = 0;
    std::from_chars(text, text + std::strlen(text), expected);
    const auto read = read_number(text);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(std::memcmp(&*read, &expected, sizeof expected), 0);
    EXPECT_EQ(read_number(shortest_text(*read)), read);
  }
  EXPECT_EQ(read_number(" +2.5\t"), 2.5);
  for (const char* text : {"", " ", "-", ".", "1.2.3", "1,5", "inf", "nan", "1e999", "0x10", "+-1",
                           "kWh", "--1"}) {
    EXPECT_EQ(read_number(text), std::nullopt) << text;
  }
  EXPECT_EQ(shortest_text(1234.0), "1234");
  EXPECT_EQ(shortest_text(1e21), "1e+21");
}

}  // namespace
}  // namespace study_table
