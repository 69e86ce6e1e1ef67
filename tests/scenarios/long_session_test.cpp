// Stand-in only (its substitute player host).
// What a long session keeps of the player's commands: the count goes on,
// the most recent ones stay in memory, a check still reads what arrived
// since the last one, and a session that writes the whole transcript out
// is handed every command as it arrives.
#include "fixture.h"

#include "player.h"

namespace crestune::testing {
namespace {

class LongSession : public DeviceTest {
 protected:
  void SetUp() override { startWithPlayer(); }
  // Commands straight to the player's window, as any program can send them.
  void send(size_t count, size_t from) {
    for (size_t i = 0; i < count; ++i)
      SendMessageW(session.player().window(), WM_APP + 1, static_cast<WPARAM>(from + i), 0);
  }
};

TEST_F(LongSession, ThePlayerKeepsItsLatestCommandsAndTheirCountGoesOn) {
  const size_t kept = Player::kKeptCommands;
  const auto& transcript = session.player().transcript();
  struct Step {
    size_t sent;         // commands sent since the step before
    size_t taken;        // what the next take answers
    WPARAM firstTaken;   // the wParam of the first of them
  };
  // A take after a few, after more than are kept (only the latest come),
  // and after none.
  const Step steps[] = {{10, 10, 0}, {kept + 100, kept, 110}, {0, 0, 0}, {3, 3, kept + 110}};
  size_t total = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.sent);
    send(s.sent, total);
    total += s.sent;
    std::vector<PlayerMessage> taken = session.player().takeNew();
    ASSERT_EQ(s.taken, taken.size());
    if (!taken.empty()) {
      EXPECT_EQ(s.firstTaken, taken.front().wParam);
      EXPECT_EQ(static_cast<WPARAM>(total - 1), taken.back().wParam) << "the latest is the last taken";
    }
    EXPECT_EQ(total, transcript.size());
    EXPECT_EQ(std::min(total, kept), transcript.size() - transcript.first());
  }
}

TEST_F(LongSession, ARecorderIsHandedEveryCommandInOrder) {
  std::vector<WPARAM> recorded;
  session.player().setRecorder([&](const PlayerMessage& m) { recorded.push_back(m.wParam); });
  send(Player::kKeptCommands * 2, 0);
  session.player().setRecorder(nullptr);
  send(5, Player::kKeptCommands * 2);
  ASSERT_EQ(Player::kKeptCommands * 2, recorded.size()) << "none after it is taken away";
  for (size_t i = 0; i < recorded.size(); ++i)
    if (recorded[i] != i) FAIL() << "command " << i << " recorded as " << recorded[i];
}

}  // namespace
}  // namespace crestune::testing
