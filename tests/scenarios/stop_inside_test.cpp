// Stand-in only (its Today shell host).
// The person's hand stops the Today shell while a menu, a page or a dialog
// of the product is open: the shell closes what its items show and ends
// those loops, and frees an item's library only once the item's code has
// returned from them.
#include "fixture.h"

namespace crestune::testing {
namespace {

using Kind = wince::InputEvent::Kind;
using wince::ObjectKind;
constexpr int kBrowse = 1018, kCancel = 1019;

class StopInside : public StrictDeviceTest {
 protected:
  int live(ObjectKind k) { return device().accounting().live(k); }

  // What the device counts, the window classes aside (the system's own stay
  // registered once used).
  std::vector<int> counted() {
    std::vector<int> c;
    for (int k = 0; k < static_cast<int>(ObjectKind::Count); ++k)
      if (static_cast<ObjectKind>(k) != ObjectKind::Class) c.push_back(live(static_cast<ObjectKind>(k)));
    c.push_back(device().liveGdiObjects());
    c.push_back(device().liveDcs());
    return c;
  }
};

// Where the hand is when it stops the shell, how the test gets it there, and
// how that ends.
struct Inside {
  const char* where;
  bool player;                        // the player runs (the item shows its buttons)
  std::function<INT_PTR()> open;      // runs what the hand acts in; its result (0 for the pen)
  std::vector<HandAction> before;     // the hand's acts before the stop
  std::function<bool()> isOpen;       // what shows when the hand stops the shell
  INT_PTR result;
};

TEST_F(StopInside, TheShellClosesWhatItsItemShowsAndFreesTheLibraryAfterItsCodeReturns) {
  auto optionsPage = [&] { return session.today()->openOptions(kItemName); };
  auto besideButtons = [&] { return onItem(200, static_cast<int>(item()->record.cyp) / 2); };
  auto pen = [&](std::vector<Kind> kinds, POINT p) {
    for (Kind k : kinds) input(k, p.x, p.y);
    windows().runUntilIdle();
    return INT_PTR{0};
  };
  const Inside rows[] = {
      {"the options page", false, optionsPage, {}, [&] { return openDialogWindow() != nullptr; }, kCancel},
      {"the open-file dialog over the options page", false, optionsPage, {[&] { queueTapOnControl(kBrowse); }},
       [&] { return device().shell().openOpenFileDialog() != nullptr; }, kCancel},
      {"the context menu", true,
       [&] {
         POINT p = besideButtons();
         hold(p.x, p.y);
         windows().runUntilIdle();
         return INT_PTR{0};
       },
       {}, [&] { return windows().openMenu() != nullptr; }, 0},
      // The pen down and resting: the recogniser waits for more of it.
      {"the tap-and-hold recogniser", true, [&] { return pen({Kind::PenDown}, besideButtons()); }, {},
       [&] { return windows().openMenu() == nullptr; }, 0},
      // A tap on the title with no player to start: the item's box says so.
      {"the item's box", false, [&] { return pen({Kind::PenDown, Kind::PenUp}, onItem(100, 10)); }, {},
       [&] { return windows().openMessageBox() != nullptr; }, 0},
  };
  for (const Inside& c : rows) {
    SCOPED_TRACE(c.where);
    registerItem();
    reg().setValue(kSettingsKey, "WMPApplication", REG_SZ, wince::RegistryStore::stringBytes("\\Windows\\none.exe"));
    if (c.player) session.player().start();
    const std::vector<int> before = counted();
    session.startToday();
    if (c.player) nextRefresh();
    ASSERT_TRUE(item());

    std::vector<HandAction> hand = c.before;
    int modulesAtStop = -1;
    hand.push_back([&] {
      EXPECT_TRUE(c.isOpen()) << "the hand is not where the row says";
      session.stopToday();
      modulesAtStop = live(ObjectKind::Module);
    });
    const INT_PTR result = whileOpen(c.open, hand);

    EXPECT_EQ(c.result, result);
    EXPECT_EQ(1, modulesAtStop) << "the library went while a loop of the item was still running";
    EXPECT_EQ(nullptr, session.today());
    EXPECT_EQ(nullptr, windows().openMenu());
    EXPECT_EQ(nullptr, windows().openMessageBox());
    EXPECT_EQ(nullptr, openDialogWindow());
    EXPECT_EQ(nullptr, device().shell().openOpenFileDialog());
    EXPECT_EQ(before, counted()) << "windows, menus, icons, GDI objects and the library all went";
    if (c.player) session.player().close();
    windows().runUntilIdle();
  }
}

TEST_F(StopInside, AReloadFromInsideTheOptionsPageEndsThePageAndBringsTheItemBack) {
  registerItem();
  session.startToday();
  const INT_PTR result = whileOpen([&] { return session.today()->openOptions(kItemName); },
                                   {[&] { session.today()->reload(); }});
  EXPECT_EQ(kCancel, result);
  ASSERT_TRUE(item());
  EXPECT_TRUE(IsWindow(item()->record.hwndCustom));
  EXPECT_EQ(1, live(ObjectKind::Module)) << "loaded again, and the earlier load freed";
  // The item is whole again: its page opens and closes.
  EXPECT_EQ(kCancel, openOptions({[&] { queueTapOnControl(kCancel); }}));
}

}  // namespace
}  // namespace crestune::testing
