#pragma once

#include <expected>
#include <string>
#include <utility>

namespace common {

// The one error type of the system: a human-readable message. Errors travel upward unchanged;
// only the program entry points print them.
struct Error {
  std::string message;

  explicit Error(std::string text) : message(std::move(text)) {}
  friend bool operator==(const Error&, const Error&) = default;
};

template <typename T>
using Result = std::expected<T, Error>;

// Shorthand for returning a failure: `return fail("...")`.
inline std::unexpected<Error> fail(std::string message) {
  return std::unexpected<Error>(Error(std::move(message)));
}

}  // namespace common
