// What the options page does when a platform call fails under it, one test
// a failure it documents (docs/failure-rows.md lists them): the page still
// runs and ends as the person asked, nothing is stored that was not
// confirmed, and every object it took is given back.
#include "fixture.h"

#include <commdlg.h>

namespace crestune::testing {
namespace {

using Kind = wince::InputEvent::Kind;
constexpr int kLarge = 1009, kStandard = 1006, kPath = 1017, kBrowse = 1018, kCancel = 1019, kLink = 1014;

class PageFailure : public StrictDeviceTest {
 protected:
  // The item on the Today screen: standard buttons, English, the usual player.
  void startItem() {
    storeSetting("IconSize", 0);
    storeSetting("Language", 0);
    storePath("\\Windows\\wmplayer.exe");
    registerItem();
    session.startToday();
    ASSERT_TRUE(item());
  }
  std::u16string controlText(int id) { return windowText(GetDlgItem(openDialogWindow(), id)); }
  bool checked(int id) { return SendMessageW(GetDlgItem(openDialogWindow(), id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
};

// The page shows what the item holds when the stored settings cannot be read.
TEST_F(PageFailure, UnreadableSettingsShowWhatTheItemHolds) {
  startItem();
  storeSetting("IconSize", 1);  // changed behind the item's back
  plan().add("RegOpenKeyExW");
  INT_PTR result = openOptions({[&] {
    EXPECT_TRUE(checked(kStandard)) << "the size the item was created with";
    EXPECT_FALSE(checked(kLarge));
    EXPECT_EQ(u"\\Windows\\wmplayer.exe", controlText(kPath));
    queueTapOnControl(kCancel);
  }});
  EXPECT_EQ(kCancel, result);
  EXPECT_TRUE(plan().empty());
}

// Headings and link without their fonts: drawn in the dialog's own font;
// nothing is reported and no font is left behind.
TEST_F(PageFailure, FontsThatCannotBeMadeAreNotMissed) {
  startItem();
  const std::string before = liveObjects();
  plan().add("CreateFontIndirectW", 0, 2);
  INT_PTR result = openOptions({[&] {
    EXPECT_FALSE(controlText(kLink).empty());
    queueTapOnControl(kCancel);
  }});
  EXPECT_EQ(kCancel, result);
  EXPECT_TRUE(plan().empty());
  EXPECT_TRUE(windows().messageBoxes().empty());
  EXPECT_EQ(before, liveObjects());
}

TEST_F(PageFailure, AnOpenFileDialogThatFailsLeavesThePathAsItWas) {
  startItem();
  plan().add("GetOpenFileNameW");
  INT_PTR result = openOptions({[&] { queueTapOnControl(kBrowse); },
                                [&] {
                                  EXPECT_EQ(u"\\Windows\\wmplayer.exe", controlText(kPath));
                                  EXPECT_EQ(static_cast<DWORD>(CDERR_INITIALIZATION), CommDlgExtendedError());
                                  queueTapOnControl(kCancel);
                                }});
  EXPECT_EQ(kCancel, result);
  EXPECT_TRUE(device().shell().shownOpenFileDialogs().empty()) << "nothing was shown";
  EXPECT_TRUE(windows().messageBoxes().empty());
}

TEST_F(PageFailure, AMailProgramThatCannotStartIsNotReported) {
  startItem();
  plan().add("ShellExecuteEx");
  INT_PTR result = openOptions({[&] { queueTapOnControl(kLink); }, [&] { queueTapOnControl(kCancel); }});
  EXPECT_EQ(kCancel, result);
  EXPECT_TRUE(plan().empty());
  EXPECT_TRUE(device().shell().mailOpened().empty());
  EXPECT_TRUE(windows().messageBoxes().empty());
}

// An empty path is stored as given; the error shows when the player is
// started from it.
TEST_F(PageFailure, AnEmptyPathIsStoredAndOnlyTheLaunchComplains) {
  startItem();
  INT_PTR result = openOptions({[&] {
    SetWindowTextW(GetDlgItem(openDialogWindow(), kPath), u"");
    queueTapOnDone();
  }});
  EXPECT_EQ(IDOK, result);
  auto path = reg().getValue(kSettingsKey, "WMPApplication");
  ASSERT_TRUE(path);
  EXPECT_EQ(u"", storedText(*path));
  EXPECT_EQ(2048u, path->bytes.size());
  EXPECT_TRUE(windows().messageBoxes().empty());
  tapTitle();
  ASSERT_EQ(1u, windows().messageBoxes().size());
  EXPECT_EQ(u"\"\" no found.", windows().messageBoxes()[0].text);
}

// A face that fails while OK rebuilds them is reported as the item reports
// it, and the page still ends confirmed.
TEST_F(PageFailure, AFaceThatFailsDuringTheRebuildIsReportedAndThePageStillEndsConfirmed) {
  startItem();
  INT_PTR result = openOptions({[&] {
    SendMessageW(GetDlgItem(openDialogWindow(), kLarge), BM_CLICK, 0, 0);
    plan().add("LoadImageW");  // the first face OK loads
    queueTapOnDone();
    device().input().push(wince::InputEvent{Kind::AnswerBox, {}, 0, IDOK, {}});
  }});
  EXPECT_EQ(IDOK, result);
  ASSERT_EQ(1u, windows().messageBoxes().size());
  EXPECT_EQ(0u, windows().messageBoxes()[0].text.rfind(u"Button:140, Size:32, Instance:", 0))
      << wince::narrow(windows().messageBoxes()[0].text);
  EXPECT_EQ(1u, storedDword(kSettingsKey, "IconSize")) << "the choice is stored all the same";
}

}  // namespace
}  // namespace crestune::testing
