#include <windows.h>

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/os_error.h"
#include "platform/stop_request.h"
#include "platform/win32_stop_wake.h"

namespace platform {
namespace {

struct Waiter {
  std::stop_token token;
  HANDLE event;
};

// Every run waiting on a stop right now; few at once (one per worker), so a list will do.
std::mutex g_mutex;
std::vector<Waiter> g_waiters;

}  // namespace

void request_stop(std::stop_source& source) {
  // The flag first: a wake registered after the lock below finds it already set.
  source.request_stop();
  const std::stop_token token = source.get_token();
  std::lock_guard lock(g_mutex);
  for (const Waiter& waiter : g_waiters) {
    if (waiter.token == token) ::SetEvent(waiter.event);
  }
}

common::Result<StopWake> StopWake::make(std::stop_token token) {
  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event.valid()) return std::unexpected(os_error(static_cast<int>(::GetLastError())));
  return StopWake(std::move(token), std::move(event));
}

StopWake::StopWake(std::stop_token token, UniqueHandle event)
    : token_(std::move(token)), event_(std::move(event)) {
  {
    std::lock_guard lock(g_mutex);
    g_waiters.push_back({token_, event_.get()});
  }
  registered_ = true;
  if (token_.stop_requested()) ::SetEvent(event_.get());
}

StopWake::StopWake(StopWake&& other) noexcept
    : token_(std::move(other.token_)),
      event_(std::move(other.event_)),
      registered_(std::exchange(other.registered_, false)) {}

StopWake::~StopWake() {
  if (!registered_) return;
  std::lock_guard lock(g_mutex);
  std::erase_if(g_waiters, [this](const Waiter& waiter) { return waiter.event == event_.get(); });
}

}  // namespace platform
