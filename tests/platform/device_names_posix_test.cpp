#include <gtest/gtest.h>

#include "platform/device_names.h"

namespace {

TEST(PosixDeviceName, NoNameIsReserved) {
  for (const char* name : {"con", "NUL.json", "com1", "lpt9.txt", "sub/aux"}) {
    EXPECT_EQ(platform::device_name(name), std::nullopt) << name;
  }
}

}  // namespace
