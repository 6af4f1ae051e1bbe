#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/file_system.h"
#include "platform/process.h"

extern char** environ;

namespace platform {
namespace {

// Owns one file descriptor so that every exit path closes it.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() { reset(); }

  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  Fd read_end;
  Fd write_end;
};

using Clock = std::chrono::steady_clock;

// Long enough for an engine to remove its own scratch files on SIGTERM, short enough that an
// interrupted batch ends promptly.
constexpr std::chrono::milliseconds kStopGracePeriod{2000};
// After SIGKILL only a process outside the group can still hold a pipe open; we stop reading then.
constexpr std::chrono::milliseconds kKilledDrainLimit{1000};

// Close-on-exec keeps the parent's ends out of the child; the child's ends reach it via dup2.
common::Result<void> open_pipe(Pipe& pipe, int extra_flags = 0) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | extra_flags) != 0) return std::unexpected(os_error(errno));
  pipe.read_end.reset(fds[0]);
  pipe.write_end.reset(fds[1]);
  return {};
}

std::vector<std::string> child_environment(const ProcessRequest& request) {
  std::vector<std::string> entries;
  std::string prefix;
  if (request.added_variable) prefix = request.added_variable->first + "=";
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    std::string_view text(*entry);
    if (!prefix.empty() && text.starts_with(prefix)) continue;
    entries.emplace_back(text);
  }
  if (request.added_variable) entries.push_back(prefix + request.added_variable->second);
  return entries;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

common::Result<pid_t> spawn(const ProcessRequest& request, int out_fd, int err_fd,
                            bool own_group) {
  std::vector<std::string> argv_texts{request.program};
  argv_texts.insert(argv_texts.end(), request.arguments.begin(), request.arguments.end());
  std::vector<std::string> env_texts = child_environment(request);
  std::vector<char*> argv = pointers_to(argv_texts);
  std::vector<char*> envp = pointers_to(env_texts);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_fd, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_fd, STDERR_FILENO);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (own_group) {
    // A group of its own lets a stop reach every process the child starts, and keeps a terminal's
    // Ctrl+C from reaching the engine before we decide what to do about it.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
  }
  pid_t pid = 0;
  const int rc = ::posix_spawnp(&pid, request.program.c_str(), &actions, &attributes, argv.data(),
                                envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return std::unexpected(os_error(rc));
  return pid;
}

// Reads whatever is available; false once the stream has ended (or failed for good).
bool read_available(int fd, std::string& sink) {
  std::array<char, 65536> buffer;
  for (;;) {
    const ssize_t n = ::read(fd, buffer.data(), buffer.size());
    if (n > 0) {
      sink.append(buffer.data(), static_cast<std::size_t>(n));
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

// Ends the child's process group in two steps once a stop arrives: SIGTERM, then SIGKILL when the
// grace period has passed. The group stays addressable until the child is reaped, because the
// unreaped leader keeps its id from being reused.
class GroupStopper {
 public:
  explicit GroupStopper(pid_t group) : group_(group) {}

  bool stopping() const { return stage_ != Stage::kRunning; }
  void terminate() {
    if (stage_ != Stage::kRunning) return;
    ::kill(-group_, SIGTERM);
    stage_ = Stage::kTerminated;
    deadline_ = Clock::now() + kStopGracePeriod;
  }
  void kill() {
    ::kill(-group_, SIGKILL);
    stage_ = Stage::kKilled;
    deadline_ = Clock::now() + kKilledDrainLimit;
  }
  // Milliseconds until the next step is due; -1 (no limit) while running.
  int poll_timeout() const {
    if (stage_ == Stage::kRunning) return -1;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) + 1 : 0;
  }
  // Takes the step that is due; false once even the killed group's streams are given up.
  bool on_timeout() {
    if (stage_ == Stage::kKilled) return false;
    if (stage_ == Stage::kTerminated && Clock::now() >= deadline_) kill();
    return true;
  }
  // The streams are closed; waits (leaving it unreaped) for the leader to end within the grace
  // period, then kills whatever is left of the group, processes that ignored SIGTERM included.
  void finish(pid_t child) {
    if (stage_ == Stage::kRunning) return;
    while (stage_ == Stage::kTerminated && Clock::now() < deadline_ && !has_ended(child)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(-group_, SIGKILL);
  }

  // True once the child has ended (or cannot be waited for); it stays unreaped.
  static bool has_ended(pid_t child) {
    siginfo_t info{};
    const int rc = ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT);
    if (rc != 0) return errno != EINTR;
    return info.si_pid == child;
  }

 private:
  enum class Stage { kRunning, kTerminated, kKilled };
  pid_t group_;
  Stage stage_ = Stage::kRunning;
  Clock::time_point deadline_{};
};

// Drains both streams together: a child that fills one pipe while we block on the other would
// never finish. A byte on `wake_fd` (-1 when no stop can come) starts the group's stop.
void drain(Pipe& out, Pipe& err, int wake_fd, GroupStopper& stopper, ProcessOutcome& outcome) {
  std::array<pollfd, 3> fds{{{out.read_end.get(), POLLIN, 0},
                             {err.read_end.get(), POLLIN, 0},
                             {wake_fd, POLLIN, 0}}};
  std::array<std::string*, 2> sinks{&outcome.standard_output, &outcome.standard_error};
  std::array<Fd*, 2> owners{&out.read_end, &err.read_end};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    const int ready = ::poll(fds.data(), fds.size(), stopper.poll_timeout());
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (ready == 0 && !stopper.on_timeout())) {
      // Closing our ends lets a still-writing child fail instead of blocking forever.
      out.read_end.reset();
      err.read_end.reset();
      return;
    }
    if (fds[2].fd >= 0 && fds[2].revents != 0) {
      stopper.terminate();
      fds[2].fd = -1;
    }
    for (std::size_t i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      if (!read_available(fds[i].fd, *sinks[i])) {
        owners[i]->reset();
        fds[i].fd = -1;
      }
    }
  }
}

// A child may close its streams and carry on; a stop must still reach it then.
void wait_while_stoppable(pid_t child, int wake_fd, GroupStopper& stopper) {
  if (wake_fd < 0) return;
  while (!stopper.stopping() && !GroupStopper::has_ended(child)) {
    pollfd fd{wake_fd, POLLIN, 0};
    if (::poll(&fd, 1, 50) > 0) stopper.terminate();
  }
}

std::optional<std::int32_t> wait_for(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  if (WIFEXITED(status)) return static_cast<std::int32_t>(WEXITSTATUS(status));
  return std::nullopt;
}

}  // namespace

common::Result<ProcessOutcome> run_process(const ProcessRequest& request, std::stop_token stop) {
  if (stop.stop_requested()) {
    ProcessOutcome outcome;
    outcome.cancelled = true;
    return outcome;
  }
  const bool stoppable = stop.stop_possible();
  Pipe out;
  Pipe err;
  Pipe wake;
  if (auto opened = open_pipe(out); !opened) return std::unexpected(opened.error());
  if (auto opened = open_pipe(err); !opened) return std::unexpected(opened.error());
  if (stoppable) {
    if (auto opened = open_pipe(wake, O_NONBLOCK); !opened) return std::unexpected(opened.error());
  }
  auto pid = spawn(request, out.write_end.get(), err.write_end.get(), stoppable);
  if (!pid) return std::unexpected(pid.error());
  // Our copies of the write ends must go, or the reads below would never see end of file.
  out.write_end.reset();
  err.write_end.reset();

  GroupStopper stopper(*pid);
  ProcessOutcome outcome;
  {
    // The callback may run on any thread (a signal watcher's); a byte in a pipe is all it does.
    const int wake_fd = wake.write_end.get();
    std::stop_callback on_stop(stop, [wake_fd] {
      const char byte = 1;
      [[maybe_unused]] const ssize_t written = ::write(wake_fd, &byte, 1);
    });
    drain(out, err, wake.read_end.get(), stopper, outcome);
    wait_while_stoppable(*pid, wake.read_end.get(), stopper);
  }
  stopper.finish(*pid);
  outcome.exit_code = wait_for(*pid);
  outcome.cancelled = stopper.stopping();
  return outcome;
}

}  // namespace platform
