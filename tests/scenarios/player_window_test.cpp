// Stand-in only (its substitute player host).
// The substitute player as a person sees it: the item's commands move it,
// it comes forward when asked and goes back when told, and what it draws
// follows what it is doing.
#include "fixture.h"

#include "player.h"

namespace crestune::testing {
namespace {

using Kind = wince::InputEvent::Kind;
namespace layout = player_layout;

constexpr uint32_t kAccent = 0x46A0FF;  // lit bars: progress and volume
constexpr uint32_t kSymbol = 0xECF0F8;  // transport symbols
constexpr uint32_t kMuteMark = 0xE6463C;

class PlayerWindow : public DeviceTest {
 protected:
  void SetUp() override {
    startWithPlayer();
  }
  Player& player() { return session.player(); }
  const PlayerState& state() { return player().state(); }

  // A tap on one of the item's buttons: Play, Pause, Stop, Previous, Next.
  void itemButton(int index) {
    POINT p = centre(index);
    tap(p.x, p.y);
  }
  void menu(const char16_t* entry) {
    queueMenuAnswer(Kind::ChooseMenu, entry);
    windows().runUntilIdle();
  }
  // Screen point of a point of the player's client area.
  POINT at(int x, int y) {
    RECT w;
    GetWindowRect(player().window(), &w);
    return POINT{w.left + x, w.top + y};
  }
  POINT centreOf(const RECT& r) { return at((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
  void tapOn(const RECT& r) {
    POINT p = centreOf(r);
    tap(p.x, p.y);
  }
  uint32_t pixel(POINT p) {
    windows().runUntilIdle();
    return device().screen().at(p.x, p.y) & 0xFFFFFF;
  }
  int count(const RECT& r, uint32_t colour) {
    windows().runUntilIdle();
    const auto& screen = device().screen();
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        POINT p = at(x, y);
        n += (screen.at(p.x, p.y) & 0xFFFFFF) == colour;
      }
    return n;
  }
  std::vector<uint32_t> screenNow() {
    windows().runUntilIdle();
    return device().screen().pixels;
  }
};

TEST_F(PlayerWindow, TheItemsButtonsDriveItInTheBackground) {
  itemButton(0);
  EXPECT_EQ(PlayState::Playing, state().state());
  windows().wait(3000);
  EXPECT_EQ(3, state().position()) << "a second of device time is a second of music";
  itemButton(1);
  EXPECT_EQ(PlayState::Paused, state().state());
  windows().wait(5000);
  EXPECT_EQ(3, state().position());
  itemButton(4);
  EXPECT_EQ(1u, state().trackIndex());
  EXPECT_EQ(PlayState::Paused, state().state());
  itemButton(3);
  itemButton(3);
  EXPECT_EQ(0u, state().trackIndex());
  itemButton(2);
  EXPECT_EQ(PlayState::Stopped, state().state());
  EXPECT_EQ((std::vector<UINT>{0x80C8, 0x80C9, 0x80CC, 0x80CB, 0x80CB, 0x80CA}), received());
  EXPECT_FALSE(player().shown()) << "commands alone do not bring it forward";
}

TEST_F(PlayerWindow, MenuCommandsReachTheState) {
  menu(u"Volume Up");
  menu(u"Mute");
  menu(u"Repeat");
  menu(u"Shuffle");
  EXPECT_EQ(60, state().volume());
  EXPECT_TRUE(state().muted());
  EXPECT_TRUE(state().repeat());
  EXPECT_TRUE(state().shuffle());
  menu(u"Volume Down");
  EXPECT_FALSE(state().muted());
  EXPECT_FALSE(player().shown());
}

TEST_F(PlayerWindow, ItComesForwardWhenAskedAndGoesBackOnTheCloseBox) {
  std::vector<uint32_t> today = screenNow();
  EXPECT_FALSE(player().shown());
  menu(u"Windows Media Player...");
  ASSERT_TRUE(player().shown());
  RECT w;
  GetWindowRect(player().window(), &w);
  EXPECT_EQ((std::vector<LONG>{0, TodayShell::kNavBarHeight, 240, 320}), (std::vector<LONG>{w.left, w.top, w.right, w.bottom}))
      << "the screen below the navigation bar";
  EXPECT_NE(today, screenNow());

  tapOn(layout::kClose);
  EXPECT_FALSE(player().shown());
  EXPECT_TRUE(player().running()) << "it runs on behind the Today screen";
  EXPECT_EQ(today, screenNow());

  // It must come forward again, the second time as the first.
  menu(u"Windows Media Player...");
  EXPECT_TRUE(player().shown());
  tapOn(layout::kClose);
  player().start();
  EXPECT_TRUE(player().shown()) << "starting it again brings it forward";
}

TEST_F(PlayerWindow, PropertiesAndPlaylistShowTheirPages) {
  POINT art = centreOf(layout::kArt);
  menu(u"Properties...");
  ASSERT_TRUE(player().shown());
  EXPECT_EQ(PlayerPage::Properties, state().page());
  uint32_t pageBackground = pixel(art);
  tapOn(layout::kBack);
  EXPECT_EQ(PlayerPage::NowPlaying, state().page());
  EXPECT_NE(pageBackground, pixel(art)) << "the cover shows on the now-playing page";

  tapOn(layout::kClose);
  menu(u"Playlist...");
  ASSERT_TRUE(player().shown());
  EXPECT_EQ(PlayerPage::Playlist, state().page());
  // The third row plays the third track and goes back to it.
  tapOn(RECT{8, layout::kListTop + 2 * layout::kListRow, 232, layout::kListTop + 3 * layout::kListRow - 4});
  EXPECT_EQ(2u, state().trackIndex());
  EXPECT_EQ(PlayState::Playing, state().state());
  EXPECT_EQ(PlayerPage::NowPlaying, state().page());
  EXPECT_EQ((std::vector<UINT>{0x80D1, WM_COMMAND}), received()) << "its own controls are not commands";
}

TEST_F(PlayerWindow, WhatItDrawsFollowsTheState) {
  menu(u"Windows Media Player...");
  ASSERT_TRUE(player().shown());
  POINT symbolCentre = centreOf(layout::kPlayPause);
  RECT bar = layout::kProgress;
  EXPECT_EQ(kSymbol, pixel(symbolCentre)) << "stopped: the play triangle";
  EXPECT_EQ(0, count({bar.left, bar.top + 3, bar.left + 20, bar.top + 4}, kAccent));

  tapOn(layout::kPlayPause);
  EXPECT_EQ(PlayState::Playing, state().state());
  EXPECT_NE(kSymbol, pixel(symbolCentre)) << "playing: the gap between the pause bars";
  windows().wait(60000);
  EXPECT_GT(count({bar.left, bar.top + 3, bar.right, bar.top + 4}, kAccent), 40) << "a minute of progress";

  // Ten volume steps, five lit at the start; one more after Volume Up.
  auto litSteps = [&] { return count({layout::kVolumeBar.left, layout::kVolumeBar.bottom - 2, layout::kVolumeBar.right,
                                      layout::kVolumeBar.bottom - 1}, kAccent); };
  int five = litSteps();
  tapOn(layout::kVolumeUp);
  EXPECT_EQ(60, state().volume());
  EXPECT_EQ(five * 6 / 5, litSteps());

  EXPECT_EQ(0, count(layout::kMute, kMuteMark));
  tapOn(layout::kMute);
  EXPECT_TRUE(state().muted());
  EXPECT_GT(count(layout::kMute, kMuteMark), 0) << "the mute mark";
  EXPECT_EQ(0, litSteps()) << "muted, the steps are dimmed";

  tapOn(layout::kStop);
  EXPECT_EQ(PlayState::Stopped, state().state());
  EXPECT_EQ(0, count({bar.left, bar.top + 3, bar.right, bar.top + 4}, kAccent));
}

TEST_F(PlayerWindow, APenDraggedOffAControlDoesNothing) {
  menu(u"Windows Media Player...");
  POINT from = centreOf(layout::kPlayPause), to = centreOf(layout::kNext);
  input(Kind::PenDown, from.x, from.y);
  input(Kind::PenMove, to.x, to.y);
  input(Kind::PenUp, to.x, to.y);
  windows().runUntilIdle();
  EXPECT_EQ(PlayState::Stopped, state().state());
  EXPECT_EQ(0u, state().trackIndex());
  EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(PlayerWindow, ItPlaysThroughTheEndOfATrack) {
  itemButton(0);
  windows().wait(static_cast<uint64_t>(state().track().seconds) * 1000 + 2000);
  EXPECT_EQ(1u, state().trackIndex());
  EXPECT_EQ(PlayState::Playing, state().state());
  EXPECT_EQ(2, state().position());
}

TEST_F(PlayerWindow, ClosingEndsItAndTheNextStartIsFresh) {
  itemButton(0);
  menu(u"Volume Up");
  menu(u"Close Windows Media Player");
  EXPECT_FALSE(player().running());
  windows().wait(5000);  // no timer of a closed player fires
  player().start();
  EXPECT_EQ(PlayState::Stopped, state().state());
  EXPECT_EQ(PlayerState::kStartVolume, state().volume());
  EXPECT_FALSE(player().shown());
}

TEST(PlayerInBackground, RunsHiddenUntilBroughtForward) {
  Session session;
  session.player().start();
  EXPECT_FALSE(session.player().shown());
  SendMessageW(session.player().window(), 0x80C8, 0, 0);
  EXPECT_EQ(PlayState::Playing, session.player().state().state());
  SetForegroundWindow(session.player().window());
  SetFocus(session.player().window());
  EXPECT_TRUE(session.player().shown());
}

// What the transcript and the checks show of a message: its parameters as
// the device holds them, 32 bits each.
TEST_F(PlayerWindow, ItShowsWhatItReceivedInTheDevicesWidths) {
  struct Case {
    WPARAM wParam;
    LPARAM lParam;
    const char* shown;
  } cases[] = {
      {0, 0, "0x8100"},
      {1, -2147483648LL, "0x8100(0x1,0x80000000)"},
      {static_cast<WPARAM>(-1), -1, "0x8100(0xFFFFFFFF,0xFFFFFFFF)"},
      {0x7FFFFFFF, 2147483647, "0x8100(0x7FFFFFFF,0x7FFFFFFF)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    (void)player().takeNew();
    SendMessageW(player().window(), 0x8100, c.wParam, c.lParam);
    const std::vector<PlayerMessage> got = player().takeNew();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(c.shown, describe(got[0]));
  }
}

}  // namespace
}  // namespace crestune::testing
