#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <thread>

#include "platform/file_system.h"
#include "platform/interrupt.h"
#include "platform/stop_request.h"

namespace platform {

const int kInterruptedExitStatus = 130;

namespace {

constexpr std::array<int, 2> kSignals{SIGINT, SIGTERM};

// The handler may only do async-signal-safe work: it writes one byte into this pipe and the
// watcher thread does the rest.
std::atomic<int> g_signal_pipe{-1};

extern "C" void on_signal(int) {
  const int saved = errno;
  const int fd = g_signal_pipe.load();
  const char byte = 1;
  if (fd >= 0) [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
  errno = saved;
}

}  // namespace

struct InterruptWatch::State {
  std::stop_source stop;
  std::atomic<bool> interrupted{false};
  int signal_read = -1;
  int signal_write = -1;
  int quit_read = -1;
  int quit_write = -1;
  std::array<struct sigaction, kSignals.size()> previous{};
  std::jthread watcher;

  ~State() {
    for (int fd : {signal_read, signal_write, quit_read, quit_write}) {
      if (fd >= 0) ::close(fd);
    }
  }

  void watch() {
    std::array<pollfd, 2> fds{{{signal_read, POLLIN, 0}, {quit_read, POLLIN, 0}}};
    for (;;) {
      if (::poll(fds.data(), fds.size(), -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents != 0) return;
      if (fds[0].revents != 0) {
        char buffer[64];
        [[maybe_unused]] const ssize_t n = ::read(signal_read, buffer, sizeof buffer);
        interrupted = true;
        request_stop(stop);
      }
    }
  }
};

common::Result<std::unique_ptr<InterruptWatch>> InterruptWatch::start(std::stop_source stop) {
  auto state = std::make_unique<State>();
  state->stop = std::move(stop);
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return std::unexpected(os_error(errno));
  state->signal_read = fds[0];
  state->signal_write = fds[1];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::unexpected(os_error(errno));
  state->quit_read = fds[0];
  state->quit_write = fds[1];
  try {
    state->watcher = std::jthread([raw = state.get()] { raw->watch(); });
  } catch (const std::system_error& failure) {
    return common::fail(failure.what());
  }
  g_signal_pipe = state->signal_write;

  struct sigaction action {};
  action.sa_handler = on_signal;
  sigemptyset(&action.sa_mask);
  // Restarting keeps reads, writes and waits elsewhere in the program from failing with EINTR.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], &action, &state->previous[i]);
  }
  return std::unique_ptr<InterruptWatch>(new InterruptWatch(std::move(state)));
}

InterruptWatch::InterruptWatch(std::unique_ptr<State> state) : state_(std::move(state)) {}

InterruptWatch::~InterruptWatch() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    ::sigaction(kSignals[i], &state_->previous[i], nullptr);
  }
  g_signal_pipe = -1;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(state_->quit_write, &byte, 1);
  state_->watcher.join();
}

bool InterruptWatch::interrupted() const { return state_->interrupted; }

}  // namespace platform
