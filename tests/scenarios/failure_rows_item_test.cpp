// Stand-in only (its Today shell, player, object accounting and pixels).
// What the Today item does when a platform call fails under it, one test a
// failure the item documents (docs/failure-rows.md lists them): what the
// person sees, that nothing is half-written, and that every object it took
// is given back.
#include "fixture.h"

namespace crestune::testing {
namespace {

using Kind = wince::InputEvent::Kind;

class ItemFailure : public StrictDeviceTest {
 protected:
  // The item on the Today screen with the settings a person chose.
  void startItem() {
    storeSetting("IconSize", 0);
    storeSetting("Language", 1);
    storePath("\\Windows\\wmplayer.exe");
    registerItem();
    session.startToday();
    ASSERT_TRUE(item());
  }
  // Ink (anything but the Today screen's own background) across the title.
  int titleInk() {
    RECT r{};
    GetWindowRect(item()->record.hwndCustom, &r);
    uint32_t background = device().screen().at(r.right - 2, r.top + 2);
    int ink = 0;
    for (int y = r.top; y < r.top + 20; ++y)
      for (int x = r.left + 30; x < r.left + 200; ++x) ink += device().screen().at(x, y) != background;
    return ink;
  }
  // Everything the item took is given back once the shell has stopped.
  void expectAllGivenBack(const std::string& before) {
    session.stopToday();
    EXPECT_EQ(before, liveObjects());
  }
};

TEST_F(ItemFailure, AClassThatCannotBeUnregisteredIsReportedAndTheUnloadGoesOn) {
  const std::string before = liveObjects();
  startItem();
  HMODULE library = item()->library;
  plan().add("UnregisterClassW");
  device().input().push(wince::InputEvent{Kind::AnswerBox, {}, 0, IDOK, {}});
  session.stopToday();
  ASSERT_EQ(1u, windows().messageBoxes().size());
  const auto& box = windows().messageBoxes()[0];
  EXPECT_EQ(u"UnregisterClass()", box.text);
  EXPECT_EQ(u"Error", box.caption) << "the system's own caption";
  EXPECT_EQ(nullptr, box.owner);
  EXPECT_EQ(static_cast<UINT>(MB_OK), box.type);
  EXPECT_EQ(0, device().accounting().live(wince::ObjectKind::Module)) << "the library is gone all the same";
  // The class the failed call left registered is the only thing left.
  EXPECT_TRUE(UnregisterClassW(u"_WMPCrestuneClass", reinterpret_cast<HINSTANCE>(library)));
  EXPECT_EQ(before, liveObjects());
}

// Play's normal face not loaded: its box, system-owned, and nothing after
// Play tried; its pressed face not loaded: Play keeps its normal face.
TEST_F(ItemFailure, AFaceThatFailsToLoadStopsTheLoad) {
  static const struct {
    int after;  // LoadImageW calls before the failing one
    bool reported;
    int icons;
  } rows[] = {{0, true, 0}, {1, false, 1}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.after);
    const std::string before = liveObjects();
    const size_t boxes = windows().messageBoxes().size();
    plan().add("LoadImageW", 0, 1, r.after);
    if (r.reported) device().input().push(wince::InputEvent{Kind::AnswerBox, {}, 0, IDOK, {}});
    startItem();
    ASSERT_EQ(boxes + (r.reported ? 1 : 0), windows().messageBoxes().size());
    if (r.reported) {
      EXPECT_EQ(nullptr, windows().messageBoxes().back().owner);
      EXPECT_EQ(static_cast<UINT>(MB_OK), windows().messageBoxes().back().type);
    }
    EXPECT_EQ(r.icons, device().accounting().live(wince::ObjectKind::Icon));
    expectAllGivenBack(before);
  }
}

// Painting goes on without the application icon and without the title
// font: the title is drawn in the font the DC already holds.
TEST_F(ItemFailure, PaintingGoesOnWithoutTheLogoOrTheTitleFont) {
  const std::string before = liveObjects();
  startItem();
  ASSERT_GT(titleInk(), 0);
  plan().add("LoadImageW");
  plan().add("CreateFontIndirectW");
  InvalidateRect(item()->record.hwndCustom, nullptr, TRUE);
  windows().runUntilIdle();
  EXPECT_GT(titleInk(), 0) << "the title is still drawn";
  expectAllGivenBack(before);
}

// Between two refresh queries the item still holds the player's window
// after the player has gone: what it sends then is lost, quietly.
TEST_F(ItemFailure, CommandsToAPlayerThatHasGoneAreLostQuietly) {
  session.player().start();
  startItem();
  ASSERT_EQ(28u, item()->record.cyp);
  session.player().close();
  const auto& play = buttons(IconSize::Standard)[0];
  POINT p = onItem((play.left + play.right) / 2, (play.top + play.bottom) / 2);
  tap(p.x, p.y);
  queueMenuAnswer(Kind::ChooseMenu, u"Silencio");
  windows().runUntilIdle();
  EXPECT_FALSE(session.player().running());
  EXPECT_TRUE(windows().messageBoxes().empty());
  EXPECT_EQ(28u, item()->record.cyp) << "unchanged until the next query";
  nextRefresh();
  EXPECT_EQ(20u, item()->record.cyp);
}

}  // namespace
}  // namespace crestune::testing
