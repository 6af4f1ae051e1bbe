#pragma once

#include <memory>
#include <stop_token>

#include "common/error.h"

namespace platform {

// The exit status of a program that ended because the user interrupted it: 130 (128 + SIGINT)
// on POSIX, as shells report it; 1 on Windows, which has no such convention.
extern const int kInterruptedExitStatus;

// While alive, turns the user's interrupt into a stop request on the given source: SIGINT and
// SIGTERM on POSIX; Ctrl+C, Ctrl+Break and closing the console on Windows. The default reaction
// (ending the process at once) is suspended meanwhile and restored on destruction.
//
// Windows ends the process as soon as the handler for a console close returns, so that handler
// waits (up to the system's limit) until this object is destroyed: destroy it only after the
// cleanup the stop request started has finished.
//
// One watch at a time per process.
class InterruptWatch {
 public:
  // Fails with the operating system's error text when the handlers cannot be installed.
  static common::Result<std::unique_ptr<InterruptWatch>> start(std::stop_source stop);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  // True once an interrupt has arrived.
  bool interrupted() const;

  struct State;

 private:
  explicit InterruptWatch(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace platform
