#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/interrupt.h"

namespace platform {
namespace {

// Ctrl+C and Ctrl+Break sent to our own console become stop requests instead of ending the
// tests. Without a console of our own (a headless pass) one is made, so the events have somewhere
// to go; where even that fails there is nothing to observe.
TEST(InterruptWatch, ConsoleEventRequestsStop) {
  EXPECT_EQ(kInterruptedExitStatus, 1);
  if (GetConsoleWindow() == nullptr) AllocConsole();
  for (const DWORD event : {CTRL_C_EVENT, CTRL_BREAK_EVENT}) {
    std::stop_source stop;
    auto watch = InterruptWatch::start(stop);
    ASSERT_TRUE(watch) << watch.error().message;
    EXPECT_FALSE((*watch)->interrupted());
    if (!GenerateConsoleCtrlEvent(event, 0)) GTEST_SKIP() << "no console to send events to";
    for (int tries = 0; tries < 500 && !stop.stop_requested(); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(stop.stop_requested()) << event;
    EXPECT_TRUE((*watch)->interrupted()) << event;
  }
}

}  // namespace
}  // namespace platform
