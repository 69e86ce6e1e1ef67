// Stand-in only (its Today shell host and accounting).
// The item's life through the Today shell, its heights as the player comes
// and goes, and what the shell's stop leaves behind.
#include "fixture.h"

namespace crestune::testing {
namespace {

class Spine : public DeviceTest {};

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
