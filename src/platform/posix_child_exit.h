#pragma once

#include <sys/types.h>

#include <thread>

#include "common/error.h"
#include "platform/posix_fd.h"

namespace platform {

// A descriptor that becomes readable the moment a child process ends, without reaping it, so
// that one poll() sees the child's end together with its output streams and a stop request. The
// unreaped child keeps its id, and with it its process group, until its parent waits for it.
// Only built into the POSIX programs.
class ChildExitWatch {
 public:
  enum class Method {
    // The kernel's process descriptor (Linux 5.3 and later); where it cannot be had, the
    // waiting thread below is used instead.
    kProcessDescriptor,
    // A thread blocked in waitid() that closes a pipe once the child has ended.
    kWaitingThread,
  };

  // `child` must be a child of this process that has not been waited for.
  static common::Result<ChildExitWatch> start(pid_t child,
                                              Method method = Method::kProcessDescriptor);

  ChildExitWatch(ChildExitWatch&&) = default;
  ChildExitWatch& operator=(ChildExitWatch&&) = delete;
  // Waits for the waiting thread, if any, and so for the child to end: destroy the watch only
  // once the child has ended or been killed, and before the child is reaped (a reaped child's id
  // may pass to another child the thread would then wait for).
  ~ChildExitWatch();

  // Readable (or hung up) once the child has ended.
  int fd() const { return fd_.get(); }

 private:
  explicit ChildExitWatch(UniqueFd fd, std::thread waiter = {})
      : fd_(std::move(fd)), waiter_(std::move(waiter)) {}
  static common::Result<ChildExitWatch> start_waiting_thread(pid_t child);

  UniqueFd fd_;
  std::thread waiter_;
};

}  // namespace platform
