// The product's call orders: each case of the shared tables (tests/orders)
// driven once, the calls the libraries make recorded by the hand (the
// device's trace on the stand-in, the import tables on Win32) and compared
// with its table row by row.
#include <ce_setup.h>

#include "product.h"

namespace product {
namespace {

#define WMV_CLASS TEXT("WMVFile")

class Orders : public ProductTest {
 protected:
  void SetUp() override {
    ProductTest::SetUp();
    loadSetup();
    // The player association setup reads, as the device's registry holds it.
    keepWmv();
    madeClass = !keyExists(HKEY_CLASSES_ROOT, WMV_CLASS);
    writeText(HKEY_CLASSES_ROOT, TEXT(".wmv"), nullptr, WMV_CLASS);
    if (madeClass)
      writeText(HKEY_CLASSES_ROOT, WMV_CLASS TEXT("\\Shell\\Open\\Command"), nullptr,
                TEXT("\"\\Windows\\wmplayer.exe\" \"%1\""));
  }
  void TearDown() override {
    if (madeClass) deleteClassKey(WMV_CLASS);
    ProductTest::TearDown();
  }
  static void confirm(HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); }

  // The state a case starts from, set up before the recording.
  void prepare(const orders::Case& c) {
    using orders::Action;
    switch (c.action) {
      case Action::StartItem:
        deleteSettings();
        stopPlayer();
        break;
      case Action::RefreshAway:
        stopPlayer();
        makeItem();
        break;
      case Action::RefreshPlayer:
      case Action::PaintTitle:
        refresh();
        break;
      case Action::PaintButtons:
      case Action::TapButton:
      case Action::HoldMenu:
      case Action::Command:
        startPlayer();
        refresh();
        break;
      case Action::TapTitle:
        stopPlayer();
        storeText(TEXT("WMPApplication"), TEXT("\\nowhere\\player.exe"));
        makeItem();
        refresh();
        break;
      case Action::ItemLifetime:
        if (IsWindow(itemWindow)) DestroyWindow(itemWindow);
        storeDword(TEXT("IconSize"), 1);
        startPlayer();
        break;
      default:
        break;
    }
  }
  void act(const orders::Case& c) {
    using orders::Action;
    // The buttons' centres in the large layout: Play 32 wide from x 29, then
    // the others 24 wide.
    static const POINT buttons[] = {{45, 18}, {73, 18}, {97, 18}, {121, 18}, {145, 18}};
    static const WCHAR* entries[] = {TEXT(""), TEXT("Mute"), TEXT("Volume Up"), TEXT("Volume Down")};
    switch (c.action) {
      case Action::StartItem:
        makeItem();
        break;
      case Action::RefreshAway:
        refresh();
        break;
      case Action::RefreshPlayer:
        startPlayer();
        refresh();
        break;
      case Action::PaintTitle:
      case Action::PaintButtons:
        paint();
        break;
      case Action::TapButton:
        tap(buttons[c.arg].x, buttons[c.arg].y);
        break;
      case Action::TapTitle:
        tap(100, 10);  // the hand answers the box
        break;
      case Action::HoldMenu:
        hand.chooseFromNextMenu(entries[c.arg]);
        holdBesideTheButtons();
        break;
      case Action::Command:
        SendMessageW(itemWindow, WM_COMMAND, static_cast<WPARAM>(c.arg), 0);
        pump();
        break;
      case Action::ItemLifetime:
        makeItem();
        refresh();
        pump();
        DestroyWindow(itemWindow);
        break;
      case Action::OptionsConfirm:
        runPage(confirm);
        break;
      case Action::Install:
      case Action::Reinstall:
        hand.driveNextDialog(confirm);
        hook<pfnINSTALL_INIT>("Install_Init")(nullptr, TRUE, c.action == Action::Reinstall, PRODUCT_INSTALL_DIR);
        hand.driveNextDialog(nullptr);
        hook<pfnINSTALL_EXIT>("Install_Exit")(nullptr, PRODUCT_INSTALL_DIR, 0, 0, 0, 0, 0);
        break;
      case Action::Remove:
        hook<pfnUNINSTALL_INIT>("Uninstall_Init")(nullptr, PRODUCT_INSTALL_DIR);
        hook<pfnUNINSTALL_EXIT>("Uninstall_Exit")(nullptr);
        break;
    }
  }

  bool madeClass = false;
};

TEST_F(Orders, EveryCaseFollowsItsTable) {
  for (size_t i = 0; i < orders::kCaseCount; ++i) {
    const orders::Case& c = orders::kCases[i];
    prepare(c);
    pump();
    hand.startRecording();
    act(c);
    std::string problem = orders::compare(hand.stopRecording(), c.steps, c.rows);
    EXPECT_TRUE(problem.empty()) << c.name << ": " << problem;
  }
}

}  // namespace
}  // namespace product
