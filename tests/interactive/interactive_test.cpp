// The interactive window, run headless (SDL's dummy video driver) with the
// desktop's events made up by the test: the pen reaches the device, the
// body's buttons work, and closing always ends cleanly.
#include "installer.h"
#include "interactive_window.h"
#include "window_manager.h"

namespace crestune {
namespace {

TEST_F(Interactive, TheItemsPlayButtonReachesThePlayer) {
  bool running = false;
  int status = run({{0, [&](Session&) { clickButton(0); }},
                    {1, [&](Session& s) { wait(s, 2100); }},  // the Today shell's next look at the player
                    {2, [&](Session&) { tapDevice(45, 64); }},
                    {4, [&](Session& s) { running = s.player().running(); }}},
                   4);
  EXPECT_EQ(0, status);
  EXPECT_TRUE(running);
  EXPECT_EQ("0x80C8\nstate: Playing, track 1, volume 50\n", transcript());
  EXPECT_TRUE(fs::exists(options.screenshotOnExit));
}

TEST_F(Interactive, TheBodysButtons) {
  std::vector<bool> running;
  int installs = 0;
  hooks.install = [&](Session& s) {
    ++installs;
    EXPECT_EQ(nullptr, s.device().windows().openMenu()) << "hooks run between frames";
  };
  auto look = [&](Session& s) { running.push_back(s.player().running()); };
  int status = run({{0, look}, {1, [&](Session&) { clickButton(0); }}, {2, look},
                    {3, [&](Session&) { clickButton(0); }}, {4, look},
                    // Options and Uninstall have no hooks: greyed, they do nothing.
                    {5, [&](Session&) { clickButton(1), clickButton(2), clickButton(3); }}, {6, look}},
                   6);
  EXPECT_EQ(0, status);
  EXPECT_EQ((std::vector<bool>{false, true, false, false}), running) << "Player starts it, then closes it";
  EXPECT_EQ("0x0010\nstate: Stopped, track 1, volume 50\n", transcript()) << "closed as its user would";
  EXPECT_EQ(1, installs);
}

// INSTALL with the window's own item registered from the build's library,
// Return for OK: the installed copy is that same library, and the item goes
// on in one module (freed under its window before, the window called into
// unmapped code).
TEST_F(Interactive, InstallOverTheWindowsOwnItemThenReturn) {
  hooks.install = [](Session&) { Installer().install(); };
  bool shown = false, installed = false;
  int status = run({{1, [&](Session&) { clickButton(2); }},
                    {3, [&](Session&) { pushKey(SDLK_RETURN); }},
                    {6, [&](Session& s) { wait(s, 2000); }},
                    {8, [&](Session& s) {
                       shown = s.today() && s.today()->find(u"WMP Crestune");
                       installed = Installer().installed();
                     }}},
                   8);
  EXPECT_EQ(0, status);
  EXPECT_TRUE(installed) << "Return is the dialog's OK";
  EXPECT_TRUE(shown);
}

// What the window cannot write is said and ends in exit status 1: a
// transcript before the window opens, an F12 picture when it is asked for
// (the session going on).
TEST_F(Interactive, WhatCannotBeWrittenIsAnError) {
  fs::path blocked = folder / "a-file";
  std::ofstream(blocked) << "in the way";
  options.transcript = blocked / "transcript.txt";
  EXPECT_EQ(1, run({}, 0));
  EXPECT_EQ(0, pumps) << "the window should not open";

  options.transcript.clear();
  options.screenshots = blocked / "shots";
  EXPECT_EQ(1, run({{1, [&](Session&) { pushKey(SDLK_F12); }}}, 4));
  EXPECT_EQ(5, pumps);
  EXPECT_TRUE(fs::exists(options.screenshotOnExit)) << "the session goes on to its end";
}

TEST_F(Interactive, ClosingWhileAMenuIsOpenEndsCleanly) {
  bool menuOpenAtQuit = false;
  const SDL_Point item = device(200, 64);
  EXPECT_EQ(0, run({{0, [&](Session&) { clickButton(0); }},
                    {1, [&](Session& s) { wait(s, 2100); }},
                    {2, [&](Session&) { pushMouse(SDL_MOUSEBUTTONDOWN, item.x, item.y); }},
                    {3, [&](Session& s) { wait(s, 700); }},  // the pen rests: tap-and-hold
                    {5, [&](Session& s) { menuOpenAtQuit = s.device().windows().openMenu() != nullptr; }}},
                   5));
  EXPECT_TRUE(menuOpenAtQuit);
}

TEST_F(Interactive, NoSequenceOfClicksAndKeysBreaksIt) {
  uint32_t seed = 12345;
  auto rnd = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
  };
  bool down = false, holding = false;
  size_t menus = 0;
  options.onPump = [&](Session& s, int pump) {
    // The pen rests after a press of the pump before: a tap-and-hold.
    if (std::exchange(holding, false)) wait(s, 600);
    if (pump >= 600) {
      menus = s.device().windows().menusShown().size();
      quit();
      return;
    }
    // Half the time near the item, where menus and the player's buttons are.
    int x = rnd(layout.width + 40) - 20, y = rnd(layout.height + 40) - 20;
    if (rnd(2)) {
      SDL_Point p = device(rnd(240), 40 + rnd(60));
      x = p.x, y = p.y;
    }
    switch (rnd(9)) {
      case 0: pushMouse(SDL_MOUSEBUTTONDOWN, x, y), down = true; break;
      case 1: if (down) pushMouse(SDL_MOUSEMOTION, x, y); break;
      case 2: pushMouse(SDL_MOUSEBUTTONUP, x, y), down = false; break;
      case 3: click(x, y); break;
      case 4: wait(s, static_cast<uint64_t>(rnd(1500))); break;
      case 5: {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        std::snprintf(e.text.text, sizeof e.text.text, "%c", 'a' + rnd(26));
        SDL_PushEvent(&e);
        break;
      }
      case 6: {
        const SDL_Keycode keys[] = {SDLK_RETURN, SDLK_BACKSPACE, SDLK_TAB, SDLK_LEFT, SDLK_DOWN};
        pushKey(keys[rnd(5)]);
        break;
      }
      case 7: clickButton(static_cast<size_t>(rnd(8) ? 1 + rnd(3) : 0)); break;
      case 8: pushMouse(SDL_MOUSEBUTTONDOWN, x, y), down = holding = true; break;
    }
  };
  EXPECT_EQ(0, runInteractive(options, hooks));
  EXPECT_TRUE(fs::exists(options.screenshotOnExit));
  EXPECT_GT(menus, 0u) << "the sequence should reach the item's menu";
}

}  // namespace
}  // namespace crestune
