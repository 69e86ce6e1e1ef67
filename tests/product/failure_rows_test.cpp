// The failures the product documents (docs/failure-rows.md) that a platform
// call failing brings about, on every platform: the hand makes the
// libraries' next calls of it fail as the platform documents, and the row
// checks what the person is shown and what the registry holds.
#include <ce_setup.h>

#include "product.h"

namespace product {
namespace {

constexpr int kLarge = 1009, kPath = 1017, kBrowse = 1018, kLink = 1014;

class Failure : public ProductTest {
 protected:
  void TearDown() override {
    EXPECT_EQ(0, hand.failuresPending()) << "a planned failure was never reached";
    ProductTest::TearDown();
  }
  void chosenSettings() {
    storeDword(TEXT("IconSize"), 0);
    storeDword(TEXT("Language"), 1);
    storeText(TEXT("WMPApplication"), TEXT("\\nowhere\\wmplayer.exe"));
  }
  codeINSTALL_INIT install(BOOL again, int ending = IDOK) {
    hand.driveNextDialog([ending](HWND d) { SendDlgItemMessageW(d, ending, BM_CLICK, 0, 0); });
    codeINSTALL_INIT answer = hook<pfnINSTALL_INIT>("Install_Init")(nullptr, TRUE, again, PRODUCT_INSTALL_DIR);
    hand.driveNextDialog(nullptr);
    return answer;
  }
};

// ---- The item ------------------------------------------------------------------

TEST_F(Failure, NoClassOrNoWindowMeansNoItemAndNoMessage) {
  for (const char* call : {"RegisterClassW", "CreateWindowExW"}) {
    SCOPED_TRACE(call);
    hand.failNext(call);
    EXPECT_EQ(nullptr, makeItem());
    EXPECT_TRUE(hand.boxes().empty());
  }
}

// The key there but not opened: the item comes up with what a library
// holds on its first load: large Play, English, wmplayer.exe (whose launch,
// made to fail, names it).
TEST_F(Failure, UnreadableSettingsGiveTheFirstLoadsDefaults) {
  chosenSettings();
  startPlayer();
  hand.failNext("RegOpenKeyExW");
  ASSERT_NE(nullptr, makeItem());
  refresh();
  EXPECT_EQ(36u, record.cyp) << "large Play";
  hand.chooseFromNextMenu(TEXT("Mute"));
  holdBesideTheButtons();
  EXPECT_EQ(std::vector<UINT>{0x8037}, received()) << "the English menu";
  EXPECT_TRUE(hand.boxes().empty());
  stopPlayer();
  refresh();
  hand.failNext("ShellExecuteExW");
  std::vector<ShownBox> boxes = tapTheTitle();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(WString(TEXT("\"wmplayer.exe\" no found.")), boxes[0].text);
}

// Play's normal face not loaded: its box, and no button after it; Play's
// pressed face not loaded: nothing said.
TEST_F(Failure, AFaceThatFailsToLoad) {
  static const struct {
    int after;
    bool reported;
  } rows[] = {{0, true}, {1, false}};
  chosenSettings();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.after);
    hand.forget();
    hand.failNext("LoadImageW", 1, r.after);
    makeItem();
    std::vector<ShownBox> boxes = hand.boxes();
    ASSERT_EQ(r.reported ? 1u : 0u, boxes.size());
    if (r.reported) {
      EXPECT_EQ(0u, boxes[0].text.rfind(TEXT("Button:140, Size:24, Instance:"), 0)) << narrow(boxes[0].text);
      EXPECT_EQ(WString(TEXT("Error")), boxes[0].caption) << "the system's own caption";
    }
  }
}

TEST_F(Failure, PaintingGoesOnWithoutTheLogoOrTheTitleFont) {
  makeItem();
  refresh();
  pump();
  hand.failNext("LoadImageW");
  hand.failNext("CreateFontIndirectW");
  paint();
  EXPECT_TRUE(hand.boxes().empty());
}

TEST_F(Failure, AMenuThatCannotBeMadeShowsNothing) {
  showButtons();
  hand.failNext("CreatePopupMenu");
  holdBesideTheButtons();
  EXPECT_EQ(0, hand.menus());
  EXPECT_TRUE(hand.boxes().empty());
  tap(45, 18);
  EXPECT_EQ(std::vector<UINT>{0x80C8}, received()) << "the item goes on";
}

// A player that cannot start is reported in the item's language, and the
// next tap tries again.
TEST_F(Failure, APlayerThatCannotStartIsReportedAndTheNextTapTriesAgain) {
  chosenSettings();
  makeItem();
  refresh();
  hand.failNext("ShellExecuteExW");
  std::vector<ShownBox> boxes = tapTheTitle();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(WString(TEXT("\"\\nowhere\\wmplayer.exe\" no encontrado.")), boxes[0].text);
  int launches = 0;
  tapTheTitle(&launches);
  EXPECT_EQ(1, launches);
}

// ---- The options page ------------------------------------------------------------

TEST_F(Failure, ASettingsKeyThatCannotBeCreatedStoresNothingAndSaysNothing) {
  chosenSettings();
  makeItem();
  hand.failNext("RegCreateKeyExW");
  EXPECT_EQ(IDOK, runPage([](HWND page) {
              SendDlgItemMessageW(page, kLarge, BM_CLICK, 0, 0);
              SendMessageW(page, WM_COMMAND, IDOK, 0);
            }));
  EXPECT_EQ(0u, setting(TEXT("IconSize")).dword());
  EXPECT_TRUE(hand.boxes().empty());
}

// Settings the page cannot read: it shows what the item holds (not what
// was stored behind its back); fonts it cannot make are not missed; a failed
// open-file dialog leaves the path; a mail program that cannot start is not
// reported.
TEST_F(Failure, ThePageGoesOnWhenItsCallsFail) {
  static const struct {
    const char* call;
    int times;
    int control;  // clicked on the page, or 0
  } rows[] = {{"RegOpenKeyExW", 1, 0}, {"CreateFontIndirectW", 2, 0}, {"GetOpenFileNameW", 1, kBrowse},
              {"ShellExecuteExW", 1, kLink}};
  chosenSettings();
  makeItem();
  storeDword(TEXT("IconSize"), 1);  // behind the item's back; the page does not read it
  for (const auto& r : rows) {
    SCOPED_TRACE(r.call);
    hand.forget();
    hand.failNext(r.call, r.times);
    INT_PTR result = runPage([&](HWND page) {
      if (r.control)
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(r.control, 0), reinterpret_cast<LPARAM>(GetDlgItem(page, r.control)));
      EXPECT_EQ(WString(TEXT("\\nowhere\\wmplayer.exe")), textOf(page, kPath));
      EXPECT_EQ(BST_CHECKED, SendDlgItemMessageW(page, 1006, BM_GETCHECK, 0, 0)) << "the item's Standard Buttons";
      SendDlgItemMessageW(page, 1019, BM_CLICK, 0, 0);
    });
    EXPECT_EQ(1019, result);
    EXPECT_TRUE(hand.boxes().empty());
    storeDword(TEXT("IconSize"), 0);  // from here on the page reads what the item holds
  }
}

// An empty path is stored as given; only starting the player from it
// complains.
TEST_F(Failure, AnEmptyPathIsStoredAndOnlyTheLaunchComplains) {
  chosenSettings();
  storeDword(TEXT("Language"), 0);
  makeItem();
  EXPECT_EQ(IDOK, runPage([](HWND page) {
              SetDlgItemTextW(page, kPath, TEXT(""));
              SendMessageW(page, WM_COMMAND, IDOK, 0);
            }));
  EXPECT_EQ(WString(), setting(TEXT("WMPApplication")).text());
  EXPECT_EQ(2048u, setting(TEXT("WMPApplication")).bytes.size());
  EXPECT_TRUE(hand.boxes().empty());
  refresh();
  std::vector<ShownBox> boxes = tapTheTitle();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(WString(TEXT("\"\" no found.")), boxes[0].text);
}

// A face that fails while OK rebuilds them is reported as the item reports
// it, and the page still ends confirmed, the choice stored.
TEST_F(Failure, AFaceThatFailsDuringTheRebuildIsReportedAndThePageStillEndsConfirmed) {
  chosenSettings();
  makeItem();
  EXPECT_EQ(IDOK, runPage([&](HWND page) {
              SendDlgItemMessageW(page, kLarge, BM_CLICK, 0, 0);
              hand.failNext("LoadImageW");  // the first face OK loads
              SendMessageW(page, WM_COMMAND, IDOK, 0);
            }));
  std::vector<ShownBox> boxes = hand.boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(0u, boxes[0].text.rfind(TEXT("Button:140, Size:32, Instance:"), 0)) << narrow(boxes[0].text);
  EXPECT_EQ(1u, setting(TEXT("IconSize")).dword());
}

// ---- The installer hook ------------------------------------------------------------

TEST_F(Failure, AReinstallGoesOnWhenTheOldRegistrationCannotBeDeleted) {
  loadSetup();
  writeDword(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY, TEXT("Type"), 4);
  hand.failNext("RegDeleteKeyW");
  EXPECT_EQ(codeINSTALL_INIT_CONTINUE, install(TRUE));
  EXPECT_EQ(32u, setting(TEXT("IconSize")).dword());
}

TEST_F(Failure, ALanguageDialogThatCannotShowCancelsTheInstallation) {
  loadSetup();
  for (const char* call : {"FindResourceW", "LoadResource", "DialogBoxIndirectParamW"}) {
    SCOPED_TRACE(call);
    hand.failNext(call);
    EXPECT_EQ(codeINSTALL_INIT_CANCEL, install(FALSE));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY));
  }
}

// The registration that will not go stops the removal with its box, owned
// by the installer; the settings key that will not go does not.
TEST_F(Failure, OnRemoval) {
  static const struct {
    int after;  // RegDeleteKeyW calls before the failing one
    codeUNINSTALL_INIT answer;
    bool settingsKept, reported;
  } rows[] = {{0, codeUNINSTALL_INIT_CANCEL, true, true}, {1, codeUNINSTALL_INIT_CONTINUE, true, false}};
  loadSetup();
  for (const auto& r : rows) {
    SCOPED_TRACE(r.after);
    writeDword(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY, TEXT("Type"), 4);
    storeDword(TEXT("IconSize"), 1);
    hand.forget();
    hand.failNext("RegDeleteKeyW", 1, r.after);
    DWORD start = GetTickCount();
    EXPECT_EQ(r.answer, hook<pfnUNINSTALL_INIT>("Uninstall_Init")(today, PRODUCT_INSTALL_DIR));
    EXPECT_EQ(r.settingsKept, keyExists(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY));
    EXPECT_EQ(r.reported, keyExists(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY)) << "the registration kept when it would not go";
    if (r.reported) {
      EXPECT_LT(GetTickCount() - start, 1000u) << "no wait";
    }
    std::vector<ShownBox> boxes = hand.boxes();
    ASSERT_EQ(r.reported ? 1u : 0u, boxes.size());
    if (r.reported) {
      EXPECT_EQ(WString(TEXT("RemoveTodayItem()")), boxes[0].text);
      EXPECT_EQ(WString(TEXT("Uninstall WMP Crestune Error")), boxes[0].caption);
    }
  }
}

// The settings key not made: nothing written, and the installation goes
// on; one value not written: the others are.
TEST_F(Failure, FirstSettingsThatCannotBeWritten) {
  loadSetup();
  hand.failNext("RegCreateKeyExW");
  EXPECT_EQ(codeINSTALL_INIT_CONTINUE, install(FALSE));
  EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY));
  showButtons();
  EXPECT_EQ(36u, record.cyp) << "the item on its defaults: large Play";
  EXPECT_TRUE(hand.boxes().empty());
  hand.failNext("RegSetValueExW");  // IconSize, the first written
  EXPECT_EQ(codeINSTALL_INIT_CONTINUE, install(FALSE));
  EXPECT_FALSE(setting(TEXT("IconSize")).found);
  EXPECT_EQ(2048u, setting(TEXT("WMPApplication")).bytes.size());
  EXPECT_TRUE(setting(TEXT("Language")).found);
}

}  // namespace
}  // namespace product
