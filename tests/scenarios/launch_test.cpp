// Stand-in only (programs registered with the device's shell).
// Starting the player from the title: the stored path goes to the shell
// only when it can name a file; a longer one is reported as not found
// without the shell ever seeing it.
#include "fixture.h"

#include "shell_state.h"

namespace crestune::testing {
namespace {

using Kind = wince::InputEvent::Kind;

class Launch : public StrictDeviceTest {
 protected:
  // A device path of exactly `units` characters.
  static std::string pathOf(size_t units) {
    const std::string head = "\\Windows\\", tail = ".exe";
    return head + std::string(units - head.size() - tail.size(), 'p') + tail;
  }
};

TEST_F(Launch, OnlyPathsShorterThanMaxPathReachTheShell) {
  struct Case {
    size_t units;
    bool reachesShell;
  };
  for (const Case c : {Case{MAX_PATH - 1, true}, Case{MAX_PATH, false}, Case{1023, false}}) {
    SCOPED_TRACE(c.units);
    const std::string path = pathOf(c.units);
    int started = 0;
    device().shell().registerProgram(wince::widen(path), [&](const std::u16string&, const std::u16string&) {
      ++started;
      return true;
    });
    registerItem();
    reg().setValue(kSettingsKey, "WMPApplication", REG_SZ, wince::RegistryStore::stringBytes(path));
    session.startToday();
    const size_t boxes = windows().messageBoxes().size();
    POINT p = onItem(100, 10);
    input(Kind::PenDown, p.x, p.y);
    input(Kind::PenUp, p.x, p.y);
    if (!c.reachesShell) device().input().push(wince::InputEvent{Kind::AnswerBox, {}, 0, IDOK, {}});
    windows().runUntilIdle();
    EXPECT_EQ(c.reachesShell ? 1 : 0, started);
    ASSERT_EQ(boxes + (c.reachesShell ? 0 : 1), windows().messageBoxes().size());
    if (!c.reachesShell) {
      const std::u16string& text = windows().messageBoxes().back().text;
      EXPECT_LT(text.size(), 200u) << "the box's text is bounded";
      EXPECT_EQ(u"p.exe\" no found.", text.substr(text.size() - 16));
    }
    session.stopToday();
  }
}

}  // namespace
}  // namespace crestune::testing
