#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/device_names.h"

namespace {

TEST(Win32DeviceName, NamesTheDeviceAFileNameWouldOpen) {
  const struct {
    const char* name;
    std::optional<std::string> device;
  } kRows[] = {
      {"con", "CON"},         {"Aux", "AUX"},
      {"NUL.json", "NUL"},    {"prn.tar.gz", "PRN"},
      {"com1", "COM1"},       {"LPT9.txt", "LPT9"},
      {"cOm5.", "COM5"},      {"nul .json", "NUL"},
      {"sub/con", "CON"},     {"lpt3\\x", "LPT3"},
      {"com0", std::nullopt}, {"com10", std::nullopt},
      {"lpt", std::nullopt},  {"console", std::nullopt},
      {"xcon", std::nullopt}, {"con_1", std::nullopt},
      {"", std::nullopt},     {"a.con", std::nullopt},
  };
  for (const auto& row : kRows) {
    EXPECT_EQ(platform::device_name(row.name), row.device) << row.name;
  }
}

}  // namespace
