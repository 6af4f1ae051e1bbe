#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/file_system.h"
#include "platform/interrupt.h"
#include "platform/stop_request.h"
#include "platform/win32_handle.h"

namespace platform {

const int kInterruptedExitStatus = 1;

struct InterruptWatch::State {
  std::stop_source stop;
  std::atomic<bool> interrupted{false};
  // Set when the watch ends, which releases a handler holding up the system's close.
  UniqueHandle finished;
};

namespace {

// The system calls the handler on a thread of its own; the mutex keeps the watch from ending
// while a handler still uses it.
std::mutex g_mutex;
InterruptWatch::State* g_state = nullptr;

// Windows gives a console close about five seconds before it ends the process regardless.
constexpr DWORD kCloseWaitMs = 10000;

BOOL WINAPI on_console_event(DWORD event) {
  // Our own copy of the "finished" event, taken under the lock, stays valid after the watch ends.
  UniqueHandle finished;
  {
    std::lock_guard lock(g_mutex);
    if (g_state == nullptr) return FALSE;
    g_state->interrupted = true;
    request_stop(g_state->stop);
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
    ::DuplicateHandle(::GetCurrentProcess(), g_state->finished.get(), ::GetCurrentProcess(),
                      finished.out(), SYNCHRONIZE, FALSE, 0);
  }
  // Console close, logoff, shutdown: the process ends once we return, so wait for the cleanup.
  if (finished.valid()) ::WaitForSingleObject(finished.get(), kCloseWaitMs);
  return TRUE;
}

}  // namespace

common::Result<std::unique_ptr<InterruptWatch>> InterruptWatch::start(std::stop_source stop) {
  auto state = std::make_unique<State>();
  state->stop = std::move(stop);
  *state->finished.out() = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!state->finished.valid()) {
    return std::unexpected(os_error(static_cast<int>(::GetLastError())));
  }
  {
    std::lock_guard lock(g_mutex);
    g_state = state.get();
  }
  if (!::SetConsoleCtrlHandler(on_console_event, TRUE)) {
    const DWORD error = ::GetLastError();
    std::lock_guard lock(g_mutex);
    g_state = nullptr;
    return std::unexpected(os_error(static_cast<int>(error)));
  }
  return std::unique_ptr<InterruptWatch>(new InterruptWatch(std::move(state)));
}

InterruptWatch::InterruptWatch(std::unique_ptr<State> state) : state_(std::move(state)) {}

InterruptWatch::~InterruptWatch() {
  ::SetConsoleCtrlHandler(on_console_event, FALSE);
  std::lock_guard lock(g_mutex);
  g_state = nullptr;
  ::SetEvent(state_->finished.get());
}

bool InterruptWatch::interrupted() const { return state_->interrupted; }

}  // namespace platform
