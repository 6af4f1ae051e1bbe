#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/interrupt.h"

namespace platform {
namespace {

extern "C" void marker_handler(int) {}

bool wait_until_requested(const std::stop_source& stop) {
  for (int tries = 0; tries < 500 && !stop.stop_requested(); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return stop.stop_requested();
}

// Each signal becomes a stop request instead of ending the test process, and the disposition the
// process had before (here a marker handler) is back once the watch ends.
TEST(InterruptWatch, SignalRequestsStopAndPreviousHandlerReturns) {
  EXPECT_EQ(kInterruptedExitStatus, 130);
  for (const int signal : {SIGINT, SIGTERM}) {
    struct sigaction marker {};
    marker.sa_handler = marker_handler;
    struct sigaction original {};
    ASSERT_EQ(::sigaction(signal, &marker, &original), 0);
    {
      std::stop_source stop;
      auto watch = InterruptWatch::start(stop);
      ASSERT_TRUE(watch.has_value()) << watch.error().message;
      EXPECT_FALSE((*watch)->interrupted());
      ASSERT_EQ(::kill(::getpid(), signal), 0);
      EXPECT_TRUE(wait_until_requested(stop)) << signal;
      EXPECT_TRUE((*watch)->interrupted()) << signal;
    }
    struct sigaction restored {};
    ::sigaction(signal, &original, &restored);
    EXPECT_EQ(restored.sa_handler, &marker_handler) << signal;
  }
}

TEST(InterruptWatch, NoSignalNoStop) {
  std::stop_source stop;
  {
    auto watch = InterruptWatch::start(stop);
    ASSERT_TRUE(watch.has_value());
    EXPECT_FALSE((*watch)->interrupted());
  }
  EXPECT_FALSE(stop.stop_requested());
}

}  // namespace
}  // namespace platform
