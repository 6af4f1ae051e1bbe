#include <io.h>
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "platform/terminal.h"

namespace platform {
namespace {

std::atomic<bool> g_interrupted{false};

BOOL WINAPI note_interrupt(DWORD) {
  g_interrupted.store(true);
  // Handled: the main loop restores the console and exits on its next tick.
  return TRUE;
}

HANDLE output_handle() { return GetStdHandle(STD_OUTPUT_HANDLE); }

}  // namespace

bool stdout_is_terminal() {
  DWORD mode = 0;
  return _isatty(_fileno(stdout)) != 0 && GetConsoleMode(output_handle(), &mode) != 0;
}

int terminal_columns() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!GetConsoleScreenBufferInfo(output_handle(), &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

bool enable_terminal_sequences() {
  DWORD mode = 0;
  if (!GetConsoleMode(output_handle(), &mode)) return false;
  if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
  return SetConsoleMode(output_handle(), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

void catch_interrupts() { SetConsoleCtrlHandler(note_interrupt, TRUE); }

bool interrupt_requested() { return g_interrupted.load(); }

}  // namespace platform
