#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "platform/posix_child_exit.h"

extern char** environ;

namespace platform {
namespace {

pid_t start(const char* program, const char* argument) {
  char* argv[] = {const_cast<char*>(program), const_cast<char*>(argument), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(::posix_spawn(&pid, program, nullptr, nullptr, argv, environ), 0);
  return pid;
}

bool readable(int fd, int timeout_ms) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, timeout_ms) == 1;
}

// Either way of watching wakes for a child that ends later and for one that has already ended,
// and leaves the child for its parent to reap with its status.
TEST(ChildExitWatch, BecomesReadableWhenTheChildEndsAndLeavesItUnreaped) {
  for (const auto method :
       {ChildExitWatch::Method::kProcessDescriptor, ChildExitWatch::Method::kWaitingThread}) {
    SCOPED_TRACE(static_cast<int>(method));
    const pid_t running = start("/bin/sleep", "30");
    {
      auto watch = ChildExitWatch::start(running, method);
      ASSERT_TRUE(watch.has_value()) << watch.error().message;
      EXPECT_FALSE(readable(watch->fd(), 0));
      ::kill(running, SIGKILL);
      EXPECT_TRUE(readable(watch->fd(), -1));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(running, &status, WNOHANG), running);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    const pid_t ended = start("/bin/sleep", "0");
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(ended), &info, WEXITED | WNOWAIT), 0);
    {
      auto watch = ChildExitWatch::start(ended, method);
      ASSERT_TRUE(watch.has_value()) << watch.error().message;
      EXPECT_TRUE(readable(watch->fd(), -1));
    }
    ASSERT_EQ(::waitpid(ended, &status, WNOHANG), ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
}

}  // namespace
}  // namespace platform
