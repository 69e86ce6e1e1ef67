// Stand-in only (its Today shell and installer hosts close the dialogs).
// A modal dialog of the product closed from outside (WM_CLOSE, as a shell or
// a task manager closes a window): it ends as Cancel does, through the
// dialog manager, so its owner is enabled again and nothing is written.
#include "fixture.h"

#include "installer.h"

namespace crestune::testing {
namespace {

constexpr int kOptionsCancel = 1019;

class ClosedFromOutside : public StrictDeviceTest {
 protected:
  // The hand's one action: WM_CLOSE to the dialog on the screen.
  HandAction closeIt() {
    return [this] {
      HWND d = openDialogWindow();
      ASSERT_TRUE(d);
      SendMessageW(d, WM_CLOSE, 0, 0);
    };
  }
  // The dialog that ran last ended with `result`, is gone, and left its
  // owner enabled.
  void expectEndedAsCancel(INT_PTR result) {
    ASSERT_FALSE(windows().dialogsShown().empty());
    const auto& shown = windows().dialogsShown().back();
    EXPECT_FALSE(shown.open);
    EXPECT_EQ(result, shown.result);
    EXPECT_FALSE(IsWindow(shown.window));
    if (shown.owner) {
      EXPECT_TRUE(IsWindowEnabled(shown.owner)) << "the owner stays disabled";
    }
    EXPECT_EQ(nullptr, openDialogWindow());
  }
};

TEST_F(ClosedFromOutside, TheOptionsPageEndsAsCancelAndSavesNothing) {
  registerItem();
  session.startToday();
  ASSERT_TRUE(item());
  const std::string before = reg().exportText();
  const int icons = device().accounting().live(wince::ObjectKind::Icon);
  const int gdi = device().liveGdiObjects();

  INT_PTR result = whileOpen([&] { return session.today()->openOptions(kItemName); }, {closeIt()});

  EXPECT_EQ(kOptionsCancel, result);
  expectEndedAsCancel(kOptionsCancel);
  EXPECT_EQ(before, reg().exportText());
  EXPECT_EQ(icons, device().accounting().live(wince::ObjectKind::Icon));
  EXPECT_EQ(gdi, device().liveGdiObjects()) << "the page's fonts are released";
}

TEST_F(ClosedFromOutside, TheLanguageDialogEndsAsCancelAndTheInstallationStops) {
  Installer installer;
  const std::string before = reg().exportText();
  InstallResult result;

  whileOpen([&] { return (result = installer.install()), INT_PTR{0}; }, {closeIt()});

  expectEndedAsCancel(0);
  EXPECT_TRUE(result.cancelled);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(before, reg().exportText());
  EXPECT_FALSE(installer.installed());
}

}  // namespace
}  // namespace crestune::testing
