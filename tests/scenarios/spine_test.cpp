// Stand-in only (its Today shell host and accounting).
// The item's lifecycle through the Today shell: creation, heights as the
// player comes and goes, re-creation, and what is left behind.
#include "fixture.h"

namespace crestune::testing {
namespace {

class Spine : public DeviceTest {};

TEST_F(Spine, ReloadReadsTheSettingsAgain) {
  registerItem();
  session.player().start();
  session.startToday();
  EXPECT_EQ(36u, item()->record.cyp);
  setIconSize(0);
  // The refresh broadcast the installer sends makes the shell reload.
  SendMessageW(HWND_BROADCAST, WM_WININICHANGE, 0xF2, 0);
  windows().runUntilIdle();
  ASSERT_TRUE(item());
  EXPECT_EQ(28u, item()->record.cyp);
  EXPECT_TRUE(windows().messageBoxes().empty());
}

TEST_F(Spine, StoppingTheShellLeavesNothingBehind) {
  auto& a = device().accounting();
  int windowsBefore = a.live(wince::ObjectKind::Window);
  int classesBefore = a.live(wince::ObjectKind::Class);
  registerItem();
  session.startToday();
  session.player().start();
  for (int i = 0; i < 5; ++i) nextRefresh();
  session.player().close();
  nextRefresh();
  session.stopToday();
  EXPECT_EQ(windowsBefore, a.live(wince::ObjectKind::Window));
  EXPECT_EQ(classesBefore, a.live(wince::ObjectKind::Class));
  EXPECT_EQ(0, a.live(wince::ObjectKind::Key));
  EXPECT_EQ(0, a.live(wince::ObjectKind::Heap));
  EXPECT_EQ(0, a.live(wince::ObjectKind::Icon));
  EXPECT_EQ(0, a.live(wince::ObjectKind::Module));
  EXPECT_TRUE(windows().messageBoxes().empty()) << "unload must not complain";
}

}  // namespace
}  // namespace crestune::testing
