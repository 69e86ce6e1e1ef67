// What the window manager tells a host about time: when its next timer falls
// due, so that a host waiting for input can sleep until then.
#include <gtest/gtest.h>
#include <windows.h>

#include "device.h"
#include "window_manager.h"

namespace {

TEST(NextTimer, IsTheEarliestDueAndMovesOnAsTimersFireOrGo) {
  wince::Device dev{wince::DeviceOptions{}};
  auto& windows = dev.windows();
  EXPECT_EQ(windows.nextTimerDue(), UINT64_MAX) << "no timer runs on a fresh device";

  UINT_PTR slow = SetTimer(nullptr, 5, 2000, nullptr);
  UINT_PTR fast = SetTimer(nullptr, 7, 300, nullptr);
  ASSERT_NE(slow, 0u);
  ASSERT_NE(fast, 0u);
  EXPECT_EQ(windows.nextTimerDue(), 300u);

  // After the first fires, its next period counts from then.
  windows.wait(350);
  EXPECT_EQ(windows.nextTimerDue(), 600u);
  EXPECT_TRUE(KillTimer(nullptr, fast));
  EXPECT_EQ(windows.nextTimerDue(), 2000u);
  EXPECT_TRUE(KillTimer(nullptr, slow));
  EXPECT_EQ(windows.nextTimerDue(), UINT64_MAX);
}

}  // namespace
