// A tmux server of its own for one test: a real terminal whose screen the test can read.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

namespace test_support {

inline bool have_program(const std::string& name) {
  return std::system(("command -v " + name + " > /dev/null 2>&1").c_str()) == 0;
}

// Output of a shell command line (standard output only).
inline std::string shell_output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

class TmuxSession {
 public:
  // Starts `command` (a shell command line) in a detached session of the given size.
  TmuxSession(const std::string& command, int columns, int rows)
      : socket_("ensemble_watch_test_" + std::to_string(getpid()) + "_" +
                std::to_string(counter()++)) {
    std::system((tmux() + " new-session -d -s t -x " + std::to_string(columns) + " -y " +
                 std::to_string(rows) + " " + quoted(command))
                    .c_str());
  }
  ~TmuxSession() { std::system((tmux() + " kill-server > /dev/null 2>&1").c_str()); }
  TmuxSession(const TmuxSession&) = delete;
  TmuxSession& operator=(const TmuxSession&) = delete;

  // The screen's text; with `escapes`, its colour sequences too.
  std::string screen(bool escapes = false) const {
    return shell_output(tmux() + " capture-pane -p" + (escapes ? " -e" : "") + " -t t");
  }
  bool cursor_visible() const {
    return shell_output(tmux() + " display-message -p -t t '#{cursor_flag}'") == "1\n";
  }
  void send_keys(const std::string& keys) const {
    std::system((tmux() + " send-keys -t t " + keys).c_str());
  }

  // Reads the screen every 50 ms, handing each to `seen`, until it returns true or the time is up.
  bool watch(const std::function<bool(const std::string&)>& seen,
             std::chrono::seconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      if (seen(screen())) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  static int& counter() {
    static int value = 0;
    return value;
  }
  static std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char ch : text) out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    return out + "'";
  }
  std::string tmux() const { return "tmux -L " + socket_ + " -f /dev/null"; }

  std::string socket_;
};

}  // namespace test_support
