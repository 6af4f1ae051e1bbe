#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/file_system.h"
#include "platform/posix_child_exit.h"
#include "platform/posix_fd.h"
#include "platform/process.h"
#include "platform/time_limit.h"

extern char** environ;

namespace platform {
namespace {

struct Pipe {
  UniqueFd read_end;
  UniqueFd write_end;
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

bool names_variable(std::string_view entry, std::string_view name) {
  return entry.size() > name.size() && entry.starts_with(name) && entry[name.size()] == '=';
}

std::vector<std::string> child_environment(const ProcessRequest& request) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    entries.emplace_back(*entry);
  }
  for (const auto& [name, value] : request.added_variables) {
    std::erase_if(entries, [&](const std::string& entry) { return names_variable(entry, name); });
    entries.push_back(name + "=" + value);
  }
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

// Milliseconds for poll() until `when`, rounded up so that the wake-up is never early.
int milliseconds_until(Clock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
  return static_cast<int>(std::clamp<decltype(left)>(left, 0, 24 * 60 * 60 * 1000));
}

enum class EndReason { kNone, kStop, kTimeLimit };

// Ends the child's process group in two steps: SIGTERM, then SIGKILL when the grace period has
// passed. The group stays addressable until the child is reaped, because the unreaped leader
// keeps its id from being reused.
class GroupStopper {
 public:
  explicit GroupStopper(pid_t group) : group_(group) {}

  EndReason reason() const { return reason_; }
  bool stopping() const { return stage_ != Stage::kRunning; }
  bool killed() const { return stage_ == Stage::kKilled; }
  void terminate(EndReason reason) {
    if (stage_ != Stage::kRunning) return;
    ::kill(-group_, SIGTERM);
    reason_ = reason;
    stage_ = Stage::kTerminated;
    deadline_ = Clock::now() + kStopGracePeriod;
  }
  // Takes the step that is due by now; false once even the killed group's streams are given up.
  bool advance() {
    if (stage_ == Stage::kRunning || Clock::now() < deadline_) return true;
    if (stage_ == Stage::kKilled) return false;
    kill();
    return true;
  }
  // When the next step is due; only meaningful while stopping.
  Clock::time_point next_step() const { return deadline_; }
  // Whatever is left of a stopped group goes, processes that ignored SIGTERM included.
  void finish() {
    if (stopping()) ::kill(-group_, SIGKILL);
  }

 private:
  void kill() {
    ::kill(-group_, SIGKILL);
    stage_ = Stage::kKilled;
    deadline_ = Clock::now() + kKilledDrainLimit;
  }

  enum class Stage { kRunning, kTerminated, kKilled };
  pid_t group_;
  Stage stage_ = Stage::kRunning;
  EndReason reason_ = EndReason::kNone;
  Clock::time_point deadline_{};
};

// One poll() over both streams, the stop pipe and the child's end, so that the run is over the
// moment the last of them is: draining both streams together keeps a child that fills one pipe
// from blocking while we wait on the other, and watching the child's end sees a child that
// closed its streams early. The stop pipe and the exit watch are -1 for a plain child, which is
// then simply read to the end of its streams.
class RunWatch {
 public:
  RunWatch(Pipe& out, Pipe& err, int wake_fd, int exit_fd, GroupStopper& stopper,
           std::optional<Clock::time_point> time_limit, ProcessOutcome& outcome)
      : fds_{{{out.read_end.get(), POLLIN, 0},
              {err.read_end.get(), POLLIN, 0},
              {wake_fd, POLLIN, 0},
              {exit_fd, POLLIN, 0}}},
        owners_{&out.read_end, &err.read_end},
        sinks_{&outcome.standard_output, &outcome.standard_error},
        stopper_(stopper),
        time_limit_(time_limit) {}

  void run() {
    while (going()) {
      take_due_steps();
      if (!going()) return;
      const int ready = ::poll(fds_.data(), fds_.size(), poll_timeout());
      if (ready < 0 && errno == EINTR) continue;
      if (ready < 0) return give_up_streams();
      take_events();
    }
  }

 private:
  enum Slot { kOut, kErr, kWake, kExit };

  bool streams_open() const { return fds_[kOut].fd >= 0 || fds_[kErr].fd >= 0; }
  // A stopped child is waited for only until SIGKILL, which it cannot outlive.
  bool going() const { return streams_open() || (fds_[kExit].fd >= 0 && !stopper_.killed()); }

  void take_due_steps() {
    if (time_limit_ && Clock::now() >= *time_limit_) stopper_.terminate(EndReason::kTimeLimit);
    if (!stopper_.advance()) give_up_streams();
  }

  int poll_timeout() const {
    const auto next = stopper_.stopping() ? stopper_.next_step() : time_limit_;
    return next ? milliseconds_until(*next) : -1;
  }

  void take_events() {
    if (fds_[kWake].fd >= 0 && fds_[kWake].revents != 0) {
      stopper_.terminate(EndReason::kStop);
      fds_[kWake].fd = -1;
    }
    if (fds_[kExit].fd >= 0 && fds_[kExit].revents != 0) fds_[kExit].fd = -1;
    for (const Slot slot : {kOut, kErr}) {
      if (fds_[slot].fd < 0 || fds_[slot].revents == 0) continue;
      if (!read_available(fds_[slot].fd, *sinks_[slot])) close_stream(slot);
    }
  }

  void close_stream(Slot slot) {
    owners_[slot]->reset();
    fds_[slot].fd = -1;
  }
  // Closing our ends lets a still-writing process fail instead of blocking forever.
  void give_up_streams() {
    close_stream(kOut);
    close_stream(kErr);
  }

  std::array<pollfd, 4> fds_;
  std::array<UniqueFd*, 2> owners_;
  std::array<std::string*, 2> sinks_;
  GroupStopper& stopper_;
  std::optional<Clock::time_point> time_limit_;
};

std::optional<std::int32_t> wait_for(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  if (WIFEXITED(status)) return static_cast<std::int32_t>(WEXITSTATUS(status));
  return std::nullopt;
}

// A watch that cannot be had leaves a child nobody could stop; it goes at once.
common::Result<std::optional<ChildExitWatch>> watch_exit(pid_t child, bool managed) {
  if (!managed) return std::optional<ChildExitWatch>();
  auto watch = ChildExitWatch::start(child);
  if (!watch) {
    ::kill(-child, SIGKILL);
    wait_for(child);
    return std::unexpected(watch.error());
  }
  return std::optional<ChildExitWatch>(std::move(*watch));
}

}  // namespace

common::Result<ProcessOutcome> run_process(const ProcessRequest& request, std::stop_token stop) {
  if (stop.stop_requested()) {
    ProcessOutcome outcome;
    outcome.cancelled = true;
    return outcome;
  }
  const bool stoppable = stop.stop_possible();
  const bool managed = stoppable || request.time_limit.has_value();
  Pipe out;
  Pipe err;
  Pipe wake;
  if (auto opened = open_pipe(out); !opened) return std::unexpected(opened.error());
  if (auto opened = open_pipe(err); !opened) return std::unexpected(opened.error());
  if (stoppable) {
    if (auto opened = open_pipe(wake, O_NONBLOCK); !opened) return std::unexpected(opened.error());
  }
  auto pid = spawn(request, out.write_end.get(), err.write_end.get(), managed);
  if (!pid) return std::unexpected(pid.error());
  std::optional<Clock::time_point> time_limit;
  if (request.time_limit) time_limit = deadline_after(*request.time_limit);
  // Our copies of the write ends must go, or the reads below would never see end of file.
  out.write_end.reset();
  err.write_end.reset();
  auto exit_watch = watch_exit(*pid, managed);
  if (!exit_watch) return std::unexpected(exit_watch.error());

  GroupStopper stopper(*pid);
  ProcessOutcome outcome;
  {
    // The callback may run on any thread (a signal watcher's); a byte in a pipe is all it does.
    const int wake_fd = wake.write_end.get();
    std::stop_callback on_stop(stop, [wake_fd] {
      const char byte = 1;
      [[maybe_unused]] const ssize_t written = ::write(wake_fd, &byte, 1);
    });
    RunWatch(out, err, wake.read_end.get(), *exit_watch ? (*exit_watch)->fd() : -1, stopper,
             time_limit, outcome)
        .run();
  }
  stopper.finish();
  exit_watch->reset();
  outcome.exit_code = wait_for(*pid);
  outcome.cancelled = stopper.reason() == EndReason::kStop;
  outcome.timed_out = stopper.reason() == EndReason::kTimeLimit;
  return outcome;
}

}  // namespace platform
