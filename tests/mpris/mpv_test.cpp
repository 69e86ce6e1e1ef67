// The bridge with a real desktop player: mpv and its MPRIS script on a
// private session bus, playing tones the test writes, asked with playerctl.
#include <gtest/gtest.h>

#include "../cli/cli_run.h"
#include "desktop.h"
#include "scripted_device.h"

namespace mpristest {
namespace {

class MpvTest : public clitest::CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    for (const char* program : {"dbus-daemon", "mpv", "playerctl"})
      if (!installed(program)) GTEST_SKIP() << program << " is not installed (tools/install-deps.sh brings it)";
    if (mprisScript().empty()) GTEST_SKIP() << "mpv-mpris is not installed (tools/install-deps.sh brings it)";
    bus_ = std::make_unique<PrivateBus>();
    ASSERT_TRUE(bus_->up()) << "dbus-daemon gave no address";
    writeTone(path("one.wav"), 440, "First Tone", "Test Bench", 20);
    writeTone(path("two.wav"), 660, "Second Tone", "Test Bench", 20);
    // mpv, idle, without sound or picture, on the two files.
    std::vector<std::string> argv = {"mpv", "--no-config", "--idle=yes", "--ao=null", "--vo=null", "--no-terminal",
                                     "--script=" + mprisScript(), path("one.wav"), path("two.wav")};
    mpv_ = std::make_unique<Child>(argv, false, path("mpv.log"));
    ASSERT_TRUE(mpv_->started() && waitFor([] { return onBus("org.mpris.MediaPlayer2.mpv"); }, 10s))
        << "mpv did not come on the bus: " << clitest::readFile(path("mpv.log"));
    // Playing, with the first file's tags read.
    ASSERT_TRUE(waitFor([] { return playerctl("mpv", "status") == "Playing"; })) << "mpv does not play";
    ASSERT_TRUE(mpvSays("metadata xesam:title", "First Tone")) << playerctl("mpv", "metadata");
  }
  void TearDown() override {
    mpv_.reset();
    bus_.reset();
    CliTest::TearDown();
  }
  bool mpvSays(const std::string& words, const std::string& answer) {
    return waitFor([&] { return playerctl("mpv", words) == answer; });
  }

  std::unique_ptr<PrivateBus> bus_;
  std::unique_ptr<Child> mpv_;
};

// The whole way, as a person runs it: taps on the item's Next and Pause
// move mpv to the next file and leave it paused; closing the player lets
// mpv play on its own.
TEST_F(MpvTest, NextAndPauseOnTheItemMoveMpvOnAndLeaveItPaused) {
  script("remote.crest",
         "item register \"WMP Crestune\" crestitem.dll\n"
         "today start\n"
         "player start mpris\n"
         "wait 2000\n"
         "step started\n"
         "tap 145 64\n"
         "tap 73 64\n"
         "check player 0x80CC 0x80C9\n"
         "step \"Next and Pause\"\n"
         "player close\n"
         "step closed\n"
         "transcript transcript.txt\n");
  clitest::Result r = crestune({"run", "remote.crest"});
  ASSERT_EQ(0, r.status) << r.err;
  EXPECT_TRUE(mpvSays("metadata xesam:title", "Second Tone")) << playerctl("mpv", "metadata");
  EXPECT_TRUE(mpvSays("status", "Paused"));
  EXPECT_TRUE(onBus("org.mpris.MediaPlayer2.mpv")) << "closing the player closed mpv";

  EXPECT_NE(std::string::npos, r.out.find("mpris: connected to mpv (org.mpris.MediaPlayer2.mpv)\n")) << r.out;
  // mpv offers no track list: the one thing said on the terminal.
  EXPECT_EQ("mpris: mpv has no track list: the Playlist page shows the track playing\n", r.err);
  std::string transcript = clitest::readFile(path("transcript.txt"));
  EXPECT_NE(std::string::npos, transcript.find("step 1: started\n"
                                               "  mpris: connected to mpv (org.mpris.MediaPlayer2.mpv)\n"
                                               "  mpris: mpv has no track list: the Playlist page shows the track playing\n"))
      << transcript;
  EXPECT_NE(std::string::npos, transcript.find("step 3: closed\n  player received 0x0010 (WM_CLOSE)\n"
                                               "  mpris: let go of mpv, which plays on\n"))
      << transcript;
}

// The item's menu, step by step, as mpv takes it: the volume in tenths,
// Mute to silence and back to the level it had, Repeat through mpv's loop
// modes. (mpv's MPRIS script reports Shuffle on whatever it is told: the
// fake player shows Shuffle, in bad_cases_test.cpp.)
TEST_F(MpvTest, TheMenuSetsMpvsVolumeAndLoop) {
  ScriptedDevice device(dir_);
  ASSERT_EQ(0, device.startWith("mpris:mpv")) << device.err;
  struct Step {
    const char* entry;
    const char* ask;  // playerctl's words
    std::string answer;
  } steps[] = {
      {"Volume Down", "volume", "0.900000"}, {"Volume Down", "volume", "0.800000"}, {"Mute", "volume", "0.000000"},
      {"Mute", "volume", "0.800000"},        {"Mute", "volume", "0.000000"},        {"Volume Up", "volume", "0.900000"},
      {"Repeat", "loop", "Track"},           {"Repeat", "loop", "Playlist"},        {"Repeat", "loop", "None"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(std::string(s.entry) + " then " + s.ask + " " + s.answer);
    ASSERT_EQ(0, device.run({kHoldForMenu, "menu choose \"" + std::string(s.entry) + "\""})) << device.err;
    EXPECT_TRUE(mpvSays(s.ask, s.answer)) << "mpv says " << playerctl("mpv", s.ask);
  }
  EXPECT_EQ(1u, device.errLines("mpris:")) << device.err;
}

// The player's screen shows what mpv reports as it changes: the track's
// title and artist from its tags, the state, the position moving while it
// plays; the Playlist page, with no track list to show, the track playing.
TEST_F(MpvTest, TheScreenFollowsMpv) {
  ScriptedDevice device(dir_);
  ASSERT_EQ(0, device.startWith("mpris")) << device.err;
  EXPECT_EQ("First Tone", device.title());
  EXPECT_EQ(u"Test Bench", device.player().track().artist);
  EXPECT_EQ(20, device.player().track().seconds);
  EXPECT_EQ(crestune::PlayState::Playing, device.player().state());
  EXPECT_EQ(100, device.player().volume());

  ASSERT_EQ(0, device.run({kTapNext}));
  EXPECT_TRUE(device.waitUntil([&] { return device.title() == "Second Tone"; })) << device.title();
  EXPECT_TRUE(device.waitUntil([&] { return device.player().position() >= 1; }))
      << "the position stays at " << device.player().position();
  ASSERT_EQ(0, device.run({kTapPause}));
  EXPECT_TRUE(device.waitUntil([&] { return device.player().state() == crestune::PlayState::Paused; }));

  ASSERT_EQ(0, device.run({kHoldForMenu, "menu choose Playlist..."}));
  EXPECT_EQ(crestune::PlayerPage::Playlist, device.player().page());
  ASSERT_EQ(1u, device.player().playlist().size());
  EXPECT_EQ(u"Second Tone", device.player().playlist()[0].title);
}

}  // namespace
}  // namespace mpristest
