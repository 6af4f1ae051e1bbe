#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/os_error.h"
#include "platform/posix_child_exit.h"

namespace platform {
namespace {

// Through syscall() rather than the C library's wrapper, so that a C library older than the
// kernel still gets the descriptor.
int open_process_descriptor(pid_t child) {
#ifdef SYS_pidfd_open
  return static_cast<int>(::syscall(SYS_pidfd_open, child, 0));
#else
  (void)child;
  errno = ENOSYS;
  return -1;
#endif
}

// WNOWAIT leaves the child unreaped: its parent's final wait still gets the status.
void wait_without_reaping(pid_t child) {
  siginfo_t info{};
  while (::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT) != 0 &&
         errno == EINTR) {
  }
}

}  // namespace

common::Result<ChildExitWatch> ChildExitWatch::start_waiting_thread(pid_t child) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return std::unexpected(os_error(errno));
  UniqueFd read_end(ends[0]);
  UniqueFd write_end(ends[1]);
  try {
    std::thread waiter([child, fd = write_end.get()] {
      wait_without_reaping(child);
      ::close(fd);
    });
    write_end.release();
    return ChildExitWatch(std::move(read_end), std::move(waiter));
  } catch (const std::system_error& error) {
    return std::unexpected(os_error(error.code()));
  }
}

common::Result<ChildExitWatch> ChildExitWatch::start(pid_t child, Method method) {
  if (method == Method::kProcessDescriptor) {
    // The descriptor is close-on-exec from the start, so no other child inherits it.
    UniqueFd descriptor(open_process_descriptor(child));
    if (descriptor.get() >= 0) return ChildExitWatch(std::move(descriptor));
    // Old kernels lack the call and some sandboxes refuse it (ENOSYS, EPERM); the thread needs
    // nothing special, so it is tried whatever the reason.
  }
  return start_waiting_thread(child);
}

ChildExitWatch::~ChildExitWatch() {
  if (waiter_.joinable()) waiter_.join();
}

}  // namespace platform
