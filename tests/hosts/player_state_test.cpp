// The player's state machine: what each command does from each state, and
// how time moves it on.
#include "player_state.h"

#include <gtest/gtest.h>

#include <set>

namespace crestune {
namespace {

namespace pc = player_command;

std::vector<Track> threeTracks() { return {{u"A", u"", u"", 10}, {u"B", u"", u"", 20}, {u"C", u"", u"", 30}}; }

PlayerState at(PlayState s, size_t track = 0, int seconds = 0) {
  PlayerState p(threeTracks());
  for (size_t i = 0; i < track; ++i) p.command(pc::kNext);
  if (s != PlayState::Stopped) p.command(pc::kPlay);
  for (int i = 0; i < seconds; ++i) p.tick();
  if (s == PlayState::Paused) p.command(pc::kPause);
  return p;
}

TEST(PlayerState, TransportFromEachState) {
  struct Case {
    PlayState from;
    unsigned command;
    PlayState to;
    int position;  // after, from 5 seconds into the track
  } cases[] = {
      {PlayState::Stopped, pc::kPlay, PlayState::Playing, 0},  {PlayState::Playing, pc::kPlay, PlayState::Playing, 5},
      {PlayState::Paused, pc::kPlay, PlayState::Playing, 5},   {PlayState::Stopped, pc::kPause, PlayState::Stopped, 0},
      {PlayState::Playing, pc::kPause, PlayState::Paused, 5},  {PlayState::Paused, pc::kPause, PlayState::Playing, 5},
      {PlayState::Stopped, pc::kStop, PlayState::Stopped, 0},  {PlayState::Playing, pc::kStop, PlayState::Stopped, 0},
      {PlayState::Paused, pc::kStop, PlayState::Stopped, 0},
  };
  for (const Case& c : cases) {
    PlayerState p = at(c.from, 1, c.from == PlayState::Stopped ? 0 : 5);
    EXPECT_TRUE(p.command(c.command));
    EXPECT_EQ(c.to, p.state()) << std::hex << c.command << " from " << static_cast<int>(c.from);
    EXPECT_EQ(c.position, p.position()) << std::hex << c.command << " from " << static_cast<int>(c.from);
    EXPECT_EQ(1u, p.trackIndex());
  }
}

TEST(PlayerState, PreviousAndNextKeepTheStateAndRestartTheTrack) {
  for (PlayState s : {PlayState::Stopped, PlayState::Playing, PlayState::Paused}) {
    PlayerState p = at(s, 1, s == PlayState::Stopped ? 0 : 4);
    p.command(pc::kNext);
    EXPECT_EQ(2u, p.trackIndex());
    EXPECT_EQ(s, p.state());
    EXPECT_EQ(0, p.position());
    p.command(pc::kPrevious);
    p.command(pc::kPrevious);
    EXPECT_EQ(0u, p.trackIndex());
    EXPECT_EQ(s, p.state());
  }
}

TEST(PlayerState, TheEndsOfThePlaylistWithAndWithoutRepeat) {
  PlayerState p = at(PlayState::Playing);
  p.command(pc::kPrevious);
  EXPECT_EQ(0u, p.trackIndex()) << "stays at the first track";
  p.command(pc::kNext);
  p.command(pc::kNext);
  p.command(pc::kNext);
  EXPECT_EQ(PlayState::Stopped, p.state()) << "past the last track it stops";
  EXPECT_EQ(0u, p.trackIndex()) << "ready at the first";

  p.command(pc::kRepeat);
  p.command(pc::kPlay);
  p.command(pc::kPrevious);
  EXPECT_EQ(2u, p.trackIndex()) << "repeat wraps backwards";
  p.command(pc::kNext);
  EXPECT_EQ(0u, p.trackIndex()) << "and forwards";
  EXPECT_EQ(PlayState::Playing, p.state());
}

TEST(PlayerState, ShuffleAlwaysMovesAndReachesEveryTrackTheSameWayEachRun) {
  PlayerState a(builtInPlaylist()), b(builtInPlaylist());
  a.command(pc::kShuffle);
  b.command(pc::kShuffle);
  a.command(pc::kPlay);
  std::set<size_t> seen;
  for (int i = 0; i < 40; ++i) {
    size_t before = a.trackIndex();
    a.command(pc::kNext);
    b.command(pc::kNext);
    EXPECT_NE(before, a.trackIndex());
    EXPECT_EQ(a.trackIndex(), b.trackIndex());
    EXPECT_EQ(PlayState::Playing, a.state()) << "shuffle does not run out";
    seen.insert(a.trackIndex());
  }
  EXPECT_EQ(a.playlist().size(), seen.size());
  a.command(pc::kShuffle);
  size_t before = a.trackIndex();
  a.command(pc::kNext);
  EXPECT_EQ((before + 1) % a.playlist().size(), a.trackIndex()) << "off again, in order";
}

TEST(PlayerState, VolumeStepsClampAndEndMuting) {
  PlayerState p;
  EXPECT_EQ(PlayerState::kStartVolume, p.volume());
  for (int i = 0; i < 8; ++i) p.command(pc::kVolumeUp);
  EXPECT_EQ(100, p.volume());
  for (int i = 0; i < 12; ++i) p.command(pc::kVolumeDown);
  EXPECT_EQ(0, p.volume());
  p.command(pc::kVolumeUp);
  EXPECT_EQ(10, p.volume());

  p.command(pc::kMute);
  EXPECT_TRUE(p.muted());
  EXPECT_EQ(10, p.volume()) << "muting keeps the volume";
  p.command(pc::kMute);
  EXPECT_FALSE(p.muted());
  p.command(pc::kMute);
  p.command(pc::kVolumeDown);
  EXPECT_FALSE(p.muted());
  EXPECT_EQ(0, p.volume());
}

TEST(PlayerState, TogglesAndPages) {
  PlayerState p;
  p.command(pc::kRepeat);
  p.command(pc::kShuffle);
  EXPECT_TRUE(p.repeat());
  EXPECT_TRUE(p.shuffle());
  p.command(pc::kRepeat);
  p.command(pc::kShuffle);
  EXPECT_FALSE(p.repeat());
  EXPECT_FALSE(p.shuffle());

  EXPECT_TRUE(p.command(pc::kProperties));
  EXPECT_EQ(PlayerPage::Properties, p.page());
  EXPECT_TRUE(p.command(pc::kCommand, pc::kPlaylistId));
  EXPECT_EQ(PlayerPage::Playlist, p.page());
  EXPECT_EQ(PlayState::Stopped, p.state()) << "pages do not play";
}

TEST(PlayerState, OtherMessagesChangeNothing) {
  PlayerState p = at(PlayState::Playing, 1, 3);
  for (auto [message, wParam] : {std::pair<unsigned, uintptr_t>{pc::kCommand, 0x9C4A},
                                 {pc::kCommand, pc::kPlaylistId | 0x10000},
                                 {0x80C7, 0},
                                 {0x80D0, 0},
                                 {0x0010, 0}}) {
    EXPECT_FALSE(p.command(message, wParam)) << std::hex << message;
  }
  EXPECT_EQ(PlayState::Playing, p.state());
  EXPECT_EQ(1u, p.trackIndex());
  EXPECT_EQ(3, p.position());
  EXPECT_EQ(PlayerPage::NowPlaying, p.page());
}

TEST(PlayerState, TimeMovesOnlyWhilePlayingAndRunsIntoTheNextTrack) {
  PlayerState p(threeTracks());
  p.tick();
  EXPECT_EQ(0, p.position());
  p.command(pc::kPlay);
  for (int i = 0; i < 9; ++i) p.tick();
  EXPECT_EQ(9, p.position());
  p.command(pc::kPause);
  p.tick();
  EXPECT_EQ(9, p.position());
  p.command(pc::kPause);
  p.tick();
  EXPECT_EQ(1u, p.trackIndex()) << "the end of A starts B";
  EXPECT_EQ(0, p.position());
  for (int i = 0; i < 50; ++i) p.tick();
  EXPECT_EQ(PlayState::Stopped, p.state()) << "the end of the last track, without repeat";
  EXPECT_EQ(0u, p.trackIndex());
}

// What the screen shows of counts and times.
TEST(PlayerState, NumbersAndTimesAsShown) {
  EXPECT_EQ(u"0", decimal(0));
  EXPECT_EQ(u"1203", decimal(1203));
  EXPECT_EQ(u"0:00", formatTime(0));
  EXPECT_EQ(u"0:09", formatTime(9));
  EXPECT_EQ(u"3:34", formatTime(214));
  EXPECT_EQ(u"100:00", formatTime(6000));
  EXPECT_EQ(u"0:00", formatTime(-5)) << "no negative time";
}

}  // namespace
}  // namespace crestune
