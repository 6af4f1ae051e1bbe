#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

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

// Close-on-exec keeps the parent's ends out of the child; the child's ends reach it via dup2.
common::Result<void> open_pipe(Pipe& pipe) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::unexpected(os_error(errno));
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

common::Result<pid_t> spawn(const ProcessRequest& request, int out_fd, int err_fd) {
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
  pid_t pid = 0;
  const int rc =
      ::posix_spawnp(&pid, request.program.c_str(), &actions, nullptr, argv.data(), envp.data());
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

// Drains both streams together: a child that fills one pipe while we block on the other would
// never finish.
void drain(Pipe& out, Pipe& err, ProcessOutcome& outcome) {
  std::array<pollfd, 2> fds{{{out.read_end.get(), POLLIN, 0}, {err.read_end.get(), POLLIN, 0}}};
  std::array<std::string*, 2> sinks{&outcome.standard_output, &outcome.standard_error};
  std::array<Fd*, 2> owners{&out.read_end, &err.read_end};
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    if (::poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      // Closing our ends lets a still-writing child fail instead of blocking forever.
      out.read_end.reset();
      err.read_end.reset();
      return;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      if (!read_available(fds[i].fd, *sinks[i])) {
        owners[i]->reset();
        fds[i].fd = -1;
      }
    }
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

common::Result<ProcessOutcome> run_process(const ProcessRequest& request) {
  Pipe out;
  Pipe err;
  if (auto opened = open_pipe(out); !opened) return std::unexpected(opened.error());
  if (auto opened = open_pipe(err); !opened) return std::unexpected(opened.error());
  auto pid = spawn(request, out.write_end.get(), err.write_end.get());
  if (!pid) return std::unexpected(pid.error());
  // Our copies of the write ends must go, or the reads below would never see end of file.
  out.write_end.reset();
  err.write_end.reset();

  ProcessOutcome outcome;
  drain(out, err, outcome);
  outcome.exit_code = wait_for(*pid);
  return outcome;
}

}  // namespace platform
