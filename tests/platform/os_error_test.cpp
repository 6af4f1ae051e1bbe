#include "platform/os_error.h"

#include <gtest/gtest.h>

#include <string>
#include <system_error>

namespace platform {
namespace {

// Every way of naming an error ends in the same "description (os error N)" form; library codes
// outside the system category keep the library's own description.
TEST(OsError, OneFormForNumbersAndErrorCodes) {
  const auto memory = std::make_error_code(std::errc::not_enough_memory);
  const auto exists = std::make_error_code(std::errc::file_exists);
  const struct {
    common::Error actual;
    std::string expected;
  } rows[] = {
      {os_error("Disk on fire", 7), "Disk on fire (os error 7)"},
      {os_error(memory), memory.message() + " (os error " + std::to_string(memory.value()) + ")"},
      {os_error(exists), exists.message() + " (os error " + std::to_string(exists.value()) + ")"},
      {os_error(std::error_code(2, std::system_category())), os_error(2).message},
  };
  for (const auto& row : rows) EXPECT_EQ(row.actual.message, row.expected);
}

}  // namespace
}  // namespace platform
