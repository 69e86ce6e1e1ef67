// The window with the player as a desktop player's remote, run headless on
// SDL's dummy driver: the Player button opens the bridge, the player's
// signals are taken on the device's clock while the window runs, and what
// the bridge says goes to the window's transcript as it happens.
#include <SDL.h>
#include <gtest/gtest.h>

#include "desktop.h"
#include "interactive.h"
#include "mpris_bridge.h"
#include "scripted_device.h"

namespace mpristest {
namespace {

void click(int x, int y) {
  for (Uint32 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP}) {
    SDL_Event e{};
    e.type = type;
    e.button.button = SDL_BUTTON_LEFT;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }
}

TEST(MprisInteractive, TheWindowFollowsTheDesktopPlayerUntilItLeaves) {
  if (!installed("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed (tools/install-deps.sh brings it)";
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  fs::path transcript = fs::temp_directory_path() / ("crestune-mpris-window-" + std::to_string(getpid()) + ".txt");
  PrivateBus bus;
  ASSERT_TRUE(bus.up());
  FakePlayer fake("fake", {true, true, true});
  ASSERT_TRUE(fake.started());

  crestune::InteractiveOptions options;
  options.transcript = transcript;
  crestune::InteractiveHooks hooks;
  hooks.player = [](crestune::Session& s) { s.player().start(crestune::openMprisBridge("fake", s.player().notes())); };
  const auto layout = crestune::interactiveLayout(options.scale);
  auto deadline = std::chrono::steady_clock::now() + 10s;
  bool followed = false, left = false;
  options.onPump = [&](crestune::Session& s, int pump) {
    const auto& player = layout.buttons.at(0);
    if (pump == 0) click(player.x + player.w / 2, player.y + player.h / 2);
    // The Today shell's next look at the player shows the item's buttons.
    if (pump == 1) s.device().input().push(wince::InputEvent{wince::InputEvent::Kind::Wait, {}, 2100, 0, {}});
    if (pump == 2) click(layout.screenX + 145 * layout.scale, layout.screenY + 64 * layout.scale);  // Next
    if (!followed && s.player().state().track().title == u"Fake Track 2") {
      followed = true;
      fake.vanish();
    }
    left = followed && s.player().running() && !s.player().hasRemote();
    if (left || std::chrono::steady_clock::now() > deadline) {
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
    }
  };
  EXPECT_EQ(0, crestune::runInteractive(options, hooks));
  EXPECT_TRUE(followed) << "the screen never showed the fake's next track";
  EXPECT_TRUE(left) << "the player kept its remote";
  std::ifstream in(transcript);
  std::string text(std::istreambuf_iterator<char>(in), {});
  fs::remove(transcript);
  EXPECT_EQ(0u, text.find("mpris: connected to Fake Player (org.mpris.MediaPlayer2.fake)\n0x80CC\n")) << text;
  EXPECT_NE(std::string::npos,
            text.find("\nmpris: Fake Player (org.mpris.MediaPlayer2.fake) left the session bus; the player plays on "
                      "its own\nstate: Stopped, track 1, volume 50\n"))
      << text;
}

}  // namespace
}  // namespace mpristest
