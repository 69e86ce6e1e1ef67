// The bridge when the desktop lets it down: no session bus, no player or not
// the one named, a player that lacks volume or a track list, a player that
// leaves mid-run. Each is one line on the terminal and in the transcript,
// and the substitute player then plays on its own. The players here are a
// fake of the test's (fake_player.cpp) on a private session bus.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "desktop.h"
#include "mpris_bus.h"
#include "scripted_device.h"

namespace mpristest {
namespace {

namespace pc = crestune::player_command;

class BadCaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!installed("dbus-daemon")) GTEST_SKIP() << "dbus-daemon is not installed (tools/install-deps.sh brings it)";
  }
  void startBus() {
    bus_ = std::make_unique<PrivateBus>();
    ASSERT_TRUE(bus_->up()) << "dbus-daemon gave no address";
  }
  void startFake(FakeOptions options) {
    startBus();
    fake_ = std::make_unique<FakePlayer>("fake", options);
    ASSERT_TRUE(fake_->started()) << "the fake player did not come on the bus";
  }
  size_t count(const std::string& what) {
    auto r = fake_->received();
    return static_cast<size_t>(std::count(r.begin(), r.end(), what));
  }

  // The folder outlives the bus and the player, which end first.
  standin::TempDir folder_;
  const fs::path dir_ = folder_.path();
  std::unique_ptr<PrivateBus> bus_;
  std::unique_ptr<FakePlayer> fake_;
};

// The player on its own: the built-in playlist, Play and Next acting on it.
void playsOnItsOwn(ScriptedDevice& device) {
  ASSERT_EQ(0, device.run({kTapPlay, kTapNext})) << device.err;
  EXPECT_EQ("Glass Orchard", device.title());
  EXPECT_EQ(crestune::PlayState::Playing, device.player().state());
}

// No bridge at all: the one line says why, on the terminal and in the
// transcript, and the player plays on its own.
TEST_F(BadCaseTest, WithoutABusOrAPlayerThePlayerPlaysOnItsOwn) {
  struct Case {
    const char* what;
    const char* bus;  // "private", or an address, or "" for none
    bool fake;
    const char* player;
    const char* line;  // the start of the line on the terminal
  } cases[] = {
      {"no session bus", "", false, "mpris",
       "mpris: no session bus (DBUS_SESSION_BUS_ADDRESS is not set); the player plays on its own"},
      {"a bus address where nothing listens", "unix:path=/nonexistent/crestune-bus", false, "mpris",
       "mpris: cannot reach the session bus at unix:path=/nonexistent/crestune-bus: "},
      {"no player on the bus", "private", false, "mpris",
       "mpris: no MPRIS player on the session bus; the player plays on its own"},
      {"not the player named", "private", true, "mpris:vlc",
       "mpris: no MPRIS player called vlc on the session bus (there are: fake); the player plays on its own"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string keptRuntime = runtime ? runtime : "";
    if (c.fake) {
      startFake({});
    } else if (std::string(c.bus) == "private") {
      startBus();
    } else if (*c.bus) {
      setenv("DBUS_SESSION_BUS_ADDRESS", c.bus, 1);
    } else {
      // Nor a bus where the desktop's runtime folder would have one.
      unsetenv("DBUS_SESSION_BUS_ADDRESS");
      setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    }
    {
      ScriptedDevice device(dir_);
      EXPECT_EQ(0, device.startWith(c.player)) << device.err;
      EXPECT_EQ(1u, device.errLines("mpris:")) << device.err;
      EXPECT_EQ(0u, device.err.rfind(c.line, 0)) << device.err;
      EXPECT_NE(std::string::npos, device.err.find("; the player plays on its own\n"));
      EXPECT_NE(std::string::npos, device.transcript.find("  " + device.err)) << device.transcript;
      EXPECT_TRUE(device.session.player().running());
      EXPECT_FALSE(device.session.player().hasRemote());
      playsOnItsOwn(device);
      if (c.fake) {
        EXPECT_TRUE(fake_->received().empty()) << "the player named no other was driven";
      }
    }
    if (keptRuntime.empty()) unsetenv("XDG_RUNTIME_DIR");
    else setenv("XDG_RUNTIME_DIR", keptRuntime.c_str(), 1);
    fake_.reset();
    bus_.reset();
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
}

// A player without a volume, or whose volume cannot be set: one line when
// the bridge opens, then Mute and Volume Up/Down turn the player's own
// volume and the desktop player's is left alone. The rest still goes to it.
TEST_F(BadCaseTest, APlayerWithoutAVolumeToSetLeavesTheVolumeToThePlayer) {
  struct Case {
    FakeOptions options;
    const char* line;
  } cases[] = {
      {{false, false, true}, "mpris: Fake Player has no volume: Mute and Volume Up/Down act on the player's own screen"},
      {{true, false, true},
       "mpris: Fake Player's volume cannot be set: Mute and Volume Up/Down act on the player's own screen"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    startFake(c.options);
    ScriptedDevice device(dir_);
    ASSERT_EQ(0, device.startWith("mpris:fake")) << device.err;
    EXPECT_EQ(std::string(c.line) + "\n", device.err);
    EXPECT_NE(std::string::npos, device.transcript.find(std::string("  ") + c.line + "\n")) << device.transcript;
    ASSERT_EQ(0, device.run({kHoldForMenu, "menu choose \"Volume Down\"", kHoldForMenu, "menu choose Mute", kTapNext}));
    EXPECT_EQ(40, device.player().volume());
    EXPECT_TRUE(device.player().muted());
    EXPECT_TRUE(waitFor([&] { return count("Next") == 1; })) << "Next did not reach the fake";
    for (const std::string& r : fake_->received()) EXPECT_EQ(std::string::npos, r.find("Volume")) << r;
    EXPECT_EQ(1u, device.errLines("mpris:")) << device.err;
    fake_.reset();
    bus_.reset();
  }
}

// A player with a track list: the Playlist page shows its tracks, and a row
// tapped there goes to that track; the screen learns of it from the
// player's signal. Without a track list (mpv) the line is said at the start
// (mpv_test.cpp).
TEST_F(BadCaseTest, APlayersTrackListIsThePlaylistPage) {
  startFake({true, true, true});
  ScriptedDevice device(dir_);
  ASSERT_EQ(0, device.startWith("mpris:fake")) << device.err;
  EXPECT_EQ("", device.err);
  ASSERT_EQ(3u, device.player().playlist().size());
  EXPECT_EQ(u"Fake Track 3", device.player().playlist()[2].title);
  EXPECT_EQ(90, device.player().playlist()[2].seconds);
  // The player brought forward, its Playlist tab, the third row.
  ASSERT_EQ(0, device.run({"player start", "tap 60 304", "tap 120 174"})) << device.err;
  EXPECT_TRUE(waitFor([&] { return count("GoTo /org/mpris/MediaPlayer2/track/3") == 1; }));
  EXPECT_TRUE(device.waitUntil([&] { return device.player().trackIndex() == 2; }));
  EXPECT_EQ("Fake Track 3", device.title());
}

// Shuffle turns the player's shuffle over and back, and the screen shows
// what the player then reports.
TEST_F(BadCaseTest, ShuffleTurnsThePlayersShuffleOverAndBack) {
  startFake({});
  ScriptedDevice device(dir_);
  ASSERT_EQ(0, device.startWith("mpris:fake")) << device.err;
  EXPECT_FALSE(device.player().shuffle());
  for (bool on : {true, false}) {
    ASSERT_EQ(0, device.run({kHoldForMenu, "menu choose Shuffle"}));
    EXPECT_TRUE(waitFor([&] { return count(on ? "Set Shuffle true" : "Set Shuffle false") == 1; }));
    EXPECT_TRUE(device.waitUntil([&] { return device.player().shuffle() == on; }));
  }
}

// The player leaves the bus mid-run: its leaving is one line, the player
// plays on its own, and nothing more goes to the bus.
TEST_F(BadCaseTest, APlayerThatLeavesMidRunLeavesThePlayerOnItsOwn) {
  startFake({true, true, true});
  ScriptedDevice device(dir_);
  ASSERT_EQ(0, device.startWith("mpris:fake")) << device.err;
  ASSERT_EQ(0, device.run({kTapNext}));
  EXPECT_TRUE(device.waitUntil([&] { return device.title() == "Fake Track 2"; })) << device.title();
  fake_->vanish();
  const std::string line = "mpris: Fake Player (org.mpris.MediaPlayer2.fake) left the session bus; the player plays on its own";
  EXPECT_TRUE(device.waitUntil([&] { return device.errLines(line) == 1; })) << device.err;
  EXPECT_FALSE(device.session.player().hasRemote());
  EXPECT_EQ(line + "\n", device.err);
  EXPECT_NE(std::string::npos, device.transcript.find("  " + line + "\n")) << device.transcript;
  playsOnItsOwn(device);
  EXPECT_EQ(1u, count("Next"));
  EXPECT_EQ(0u, count("Play"));
}

// The player hangs while staying on the bus: the first call that runs out
// of time is one line, and from then on the player plays on its own without
// waiting on the bus again.
TEST_F(BadCaseTest, APlayerThatStopsAnsweringCostsOneTimeoutOnly) {
  startFake({true, true, true});
  ScriptedDevice device(dir_);
  ASSERT_EQ(0, device.startWith("mpris:fake")) << device.err;
  fake_->freeze();
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(0, device.run({kTapNext})) << device.err;
  playsOnItsOwn(device);
  const auto waited = std::chrono::steady_clock::now() - started;
  const std::string line =
      "mpris: Fake Player (org.mpris.MediaPlayer2.fake) did not answer within 1500 ms; the player plays on its own";
  EXPECT_EQ(line + "\n", device.err);
  EXPECT_NE(std::string::npos, device.transcript.find("  " + line + "\n")) << device.transcript;
  EXPECT_FALSE(device.session.player().hasRemote());
  // One timeout, not one per tap.
  EXPECT_LT(waited, 2 * crestune::mpris::Bus::kCallTimeout) << "every tap waited on the frozen player";
}

}  // namespace
}  // namespace mpristest
