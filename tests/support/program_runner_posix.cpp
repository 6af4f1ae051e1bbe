#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/program_runner.h"

extern char** environ;

namespace test_support {

namespace {

// Both ends are closed on destruction unless handed over.
struct Pipe {
  int read_end = -1;
  int write_end = -1;

  Pipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) == 0) {
      read_end = fds[0];
      write_end = fds[1];
    }
  }
  ~Pipe() {
    close_read();
    close_write();
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  bool ok() const { return read_end >= 0; }
  void close_read() {
    if (read_end >= 0) close(read_end);
    read_end = -1;
  }
  void close_write() {
    if (write_end >= 0) close(write_end);
    write_end = -1;
  }
};

// Reads both pipes until both reach end of file; draining them together keeps a child that
// fills one pipe from blocking while we wait on the other.
void drain(Pipe& out_pipe, Pipe& err_pipe, std::string& out, std::string& err) {
  std::array<pollfd, 2> fds{pollfd{out_pipe.read_end, POLLIN, 0},
                            pollfd{err_pipe.read_end, POLLIN, 0}};
  std::array<std::string*, 2> sinks{&out, &err};
  int open_count = 2;
  char buffer[4096];
  while (open_count > 0) {
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
}

int wait_for(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

ProgramRun run_program(const std::string& program, const std::vector<std::string>& args,
                       const std::filesystem::path& working_dir, const std::string& argv0) {
  ProgramRun run;
  Pipe out_pipe;
  Pipe err_pipe;
  if (!out_pipe.ok() || !err_pipe.ok()) {
    run.err = std::string("pipe failed: ") + std::strerror(errno);
    return run;
  }

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe.write_end, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err_pipe.write_end, STDERR_FILENO);
  const std::string dir = working_dir.string();
  if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

  std::vector<std::string> owned;
  owned.push_back(argv0.empty() ? program : argv0);
  owned.insert(owned.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : owned) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawn_error =
      posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  out_pipe.close_write();
  err_pipe.close_write();
  if (spawn_error != 0) {
    run.err = "cannot start " + program + ": " + std::strerror(spawn_error);
    return run;
  }
  drain(out_pipe, err_pipe, run.out, run.err);
  run.exit_code = wait_for(pid);
  return run;
}

ProgramRun run_program_with_file_limit(const std::string& program,
                                       const std::vector<std::string>& args,
                                       const std::filesystem::path& working_dir, int kib) {
  std::vector<std::string> wrapped = {
      "-c", "trap '' XFSZ; ulimit -f " + std::to_string(kib) + " && exec \"$0\" \"$@\"", program};
  wrapped.insert(wrapped.end(), args.begin(), args.end());
  return run_program("/bin/bash", wrapped, working_dir);
}

}  // namespace test_support
