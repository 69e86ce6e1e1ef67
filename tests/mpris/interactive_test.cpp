// The window with the player as a desktop player's remote, run headless on
// SDL's dummy driver: the Player button opens the bridge, the player's
// signals are taken on the device's clock while the window runs, and what
// the bridge says goes to the window's transcript as it happens.
#include "../interactive/interactive_window.h"
#include "desktop.h"
#include "mpris_bridge.h"

namespace mpristest {
namespace {

class MprisInteractive : public crestune::Interactive {};

TEST_F(MprisInteractive, TheWindowFollowsTheDesktopPlayerUntilItLeaves) {
  if (!installed("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed (tools/install-deps.sh brings it)";
  PrivateBus bus;
  ASSERT_TRUE(bus.up());
  FakePlayer fake("fake", {true, true, true});
  ASSERT_TRUE(fake.started());

  hooks.player = [](crestune::Session& s) { s.player().start(crestune::openMprisBridge("fake", s.player().notes())); };
  auto deadline = std::chrono::steady_clock::now() + 10s;
  bool followed = false, left = false;
  options.onPump = [&](crestune::Session& s, int pump) {
    if (pump == 0) clickButton(0);
    if (pump == 1) wait(s, 2100);  // the Today shell's next look at the player shows the item's buttons
    if (pump == 2) tapDevice(145, 64);  // Next
    if (!followed && s.player().state().track().title == u"Fake Track 2") {
      followed = true;
      fake.vanish();
    }
    left = followed && s.player().running() && !s.player().hasRemote();
    if (left || std::chrono::steady_clock::now() > deadline) quit();
  };
  EXPECT_EQ(0, crestune::runInteractive(options, hooks));
  EXPECT_TRUE(followed) << "the screen never showed the fake's next track";
  EXPECT_TRUE(left) << "the player kept its remote";
  const std::string text = transcript();
  EXPECT_EQ(0u, text.find("mpris: connected to Fake Player (org.mpris.MediaPlayer2.fake)\n0x80CC\n")) << text;
  EXPECT_NE(std::string::npos,
            text.find("\nmpris: Fake Player (org.mpris.MediaPlayer2.fake) left the session bus; the player plays on "
                      "its own\nstate: Stopped, track 1, volume 50\n"))
      << text;
}

}  // namespace
}  // namespace mpristest
