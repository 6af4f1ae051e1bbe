#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>

#include "platform/terminal.h"

namespace platform {
namespace {

std::atomic<bool> g_interrupted{false};

void note_interrupt(int) { g_interrupted.store(true); }

}  // namespace

bool stdout_is_terminal() { return isatty(STDOUT_FILENO) == 1; }

int terminal_columns() {
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

bool enable_terminal_sequences() { return stdout_is_terminal(); }

void catch_interrupts() {
  struct sigaction action {};
  action.sa_handler = note_interrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

bool interrupt_requested() { return g_interrupted.load(); }

}  // namespace platform
