#pragma once

#include <windows.h>

#include <stop_token>

#include "common/error.h"
#include "platform/win32_handle.h"

namespace platform {

// A manual-reset event that request_stop() sets when it stops the source of `token`, so that a
// wait on it sees the stop the moment it is requested, without a stop callback and without a
// timer. Set at once when the stop was requested before the wake was made. Only built into the
// Windows programs.
class StopWake {
 public:
  static common::Result<StopWake> make(std::stop_token token);
  StopWake(StopWake&& other) noexcept;
  StopWake& operator=(StopWake&&) = delete;
  ~StopWake();

  HANDLE event() const { return event_.get(); }

 private:
  StopWake(std::stop_token token, UniqueHandle event);

  std::stop_token token_;
  UniqueHandle event_;
  bool registered_ = false;
};

}  // namespace platform
