// The Pocket PC shell's dialogs: full-screen set-up with the navigation
// bar's "ok", and the open-file dialog.
#include <aygshell.h>
#include <commdlg.h>

#include "dialog_fixture.h"
#include "standin/temp_folder.h"

namespace {

using wince::InputEvent;
using wince::ObjectKind;

// Where a full-screen dialog goes and what its done button sends are the
// conformance tests' (conformance/aygshell_test.cpp); here the bar itself.
TEST_F(DialogTest, FullScreenDialogLosesItsCaptionToTheNavigationBarWithOkInIt) {
  // The options page's template: popup, caption, DS_CONTROL, DS_SETFONT.
  DialogTemplate t(0x80C00440, 0, 0, 167, 169, u"Settings");
  t.item(kButtonClass, kChild | WS_TABSTOP, 106, 97, 50, 14, 1019, u"Cancel");
  const int windows = live(ObjectKind::Window);
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_INITDIALOG) {
      SHINITDLGINFO info{SHIDIM_FLAGS, h, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
      EXPECT_TRUE(SHInitDialog(&info));
      SetWindowTextW(h, u"Today: Crestune");
      return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wp) == IDOK) return EndDialog(h, 1);
    return FALSE;
  };
  steps = {[&](HWND h) {
    RECT c;
    GetClientRect(h, &c);
    EXPECT_EQ(c, (RECT{0, 0, 240, 294})) << "no caption or border of its own";
    EXPECT_FALSE(GetWindowLongW(h, GWL_STYLE) & WS_CAPTION);
    wince::ShellState& shell = dev.shell();
    EXPECT_EQ(shell.doneButtonOwner(), h);
    EXPECT_EQ(shell.doneBarRect(), (RECT{0, 0, 240, 26}));
    RECT ok = shell.doneButtonRect();
    EXPECT_GT(ok.left, 180) << "at the right of the bar";
    EXPECT_LE(ok.bottom, 26);
    // The bar shows the title in white on dark blue.
    int white = 0;
    for (int y = 2; y < 24; ++y)
      for (int x = 4; x < 60; ++x) white += px(x, y) == 0x00FFFFFF;
    EXPECT_GT(white, 10);
    EXPECT_EQ(px(100, 2), 0x00000084u);
    tap(POINT{(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2});
  }};
  EXPECT_EQ(run(t), 1);
  EXPECT_EQ(dev.shell().doneButtonOwner(), nullptr) << "the bar goes with its dialog";
  EXPECT_EQ(live(ObjectKind::Window), windows);
  EXPECT_FALSE(dev.shell().tapDoneButton());
}

// A device whose folder holds a few files, and a request as the options
// page makes it.
struct OpenFileFolder {
  standin::TempDir dir;
  OpenFileFolder() {
    std::filesystem::create_directories(dir.path() / "Windows");
    std::filesystem::create_directories(dir.path() / "Program Files" / "Tools");
    for (const char* f : {"Windows/wmplayer.exe", "Windows/readme.txt", "Program Files/Tools/Player.EXE"})
      standin::writeFile(dir.path() / f, "x");
  }
};

class OpenFileTest : private OpenFileFolder, public DialogTest {
 protected:
  OpenFileTest() : DialogTest(wince::DeviceOptions{.folder = dir.path()}) {}

  WCHAR file[260] = {};
  OPENFILENAMEW ofn{};

  void SetUp() override {
    DialogTest::SetUp();
    dev.shell().registerProgram(u"pmail.exe", [](const std::u16string&, const std::u16string&) { return true; });
    ofn.lStructSize = sizeof(OPENFILENAMEW);
    ofn.lpstrFilter = u"Windows Media Player\0*.EXE\0Programs (*.EXE)\0*.EXE\0";
    ofn.lpstrFile = file;
    ofn.nMaxFile = 260;
    ofn.lpstrTitle = u"Select Windows Media Player";
    ofn.Flags = OFN_EXPLORER;
  }
  const wince::ShellState::ShownOpenFile& shown() { return dev.shell().shownOpenFileDialogs().back(); }
};

TEST_F(OpenFileTest, ChoosingAFileFillsTheBufferWithItsDevicePath) {
  push(InputEvent::Kind::ChooseFile, u"\\Windows\\wmplayer.exe");
  ASSERT_TRUE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(std::u16string(file), u"\\Windows\\wmplayer.exe");
  EXPECT_EQ(ofn.nFileOffset, 9);
  EXPECT_EQ(ofn.nFileExtension, 18);
  EXPECT_EQ(shown().title, u"Select Windows Media Player");
  EXPECT_EQ(shown().filterName, u"Windows Media Player");
  EXPECT_EQ(shown().pattern, u"*.EXE");
  EXPECT_EQ(shown().files, (std::vector<std::u16string>{u"\\Program Files\\Tools\\Player.EXE", u"\\Windows\\pmail.exe",
                                                        u"\\Windows\\wmplayer.exe"}))
      << "the device's files that match, and the programs the shell knows";
  EXPECT_EQ(shown().chosen, u"\\Windows\\wmplayer.exe");
  EXPECT_FALSE(shown().open);
  EXPECT_EQ(dev.accounting().live(ObjectKind::Window), 0);

  // A tap on a listed file, then on OK: the first row, and the OK button
  // left of Cancel at the bottom right.
  tap(POINT{40, 26 + 20 + 9});
  tap(POINT{240 - 56 - 8 - 28, 320 - 15});
  ASSERT_TRUE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(std::u16string(file), u"\\Program Files\\Tools\\Player.EXE");
}

TEST_F(OpenFileTest, CancelledTooSmallAndMalformedRequestsAnswerFalse) {
  push(InputEvent::Kind::CancelFile);
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), 0u) << "cancelled is not an error";
  EXPECT_EQ(file[0], 0) << "the buffer is untouched";
  EXPECT_TRUE(shown().chosen.empty());

  // Cancel by a tap on its button at the bottom right.
  tap(POINT{240 - 30, 320 - 15});
  EXPECT_FALSE(GetOpenFileNameW(&ofn));

  ofn.nMaxFile = 10;
  push(InputEvent::Kind::ChooseFile, u"\\Windows\\wmplayer.exe");
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(FNERR_BUFFERTOOSMALL));
  EXPECT_EQ(file[0], 22) << "the size needed, in characters";
  ofn.nMaxFile = 22;  // exactly enough, terminator included
  push(InputEvent::Kind::ChooseFile, u"\\Windows\\wmplayer.exe");
  EXPECT_TRUE(GetOpenFileNameW(&ofn));

  const size_t shownBefore = dev.shell().shownOpenFileDialogs().size();
  ofn.lStructSize = 76 + 1;
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
  EXPECT_EQ(dev.shell().shownOpenFileDialogs().size(), shownBefore) << "nothing shown";

  // Nobody answers: a problem for the script, and FALSE.
  ofn.lStructSize = sizeof(OPENFILENAMEW);
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(dev.takeProblems().size(), 1u);
}

TEST_F(OpenFileTest, BrowsingFromADialogKeepsTheDialogModalUnderneath) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 160, 100, u"Options");
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP, 8, 8, 148, 13, 1017, u"old");
  t.item(kButtonClass, kChild | WS_TABSTOP, 106, 30, 50, 14, 1018, u"Browse...");
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && wp == 1018) {
      ofn.hwndOwner = h;
      if (GetOpenFileNameW(&ofn)) SetDlgItemTextW(h, 1017, file);
      EXPECT_EQ(shown().owner, h);
      EndDialog(h, 1);
    }
    return FALSE;
  };
  steps = {[&](HWND h) {
    tap(GetDlgItem(h, 1018));
    push(InputEvent::Kind::ChooseFile, u"\\Windows\\wmplayer.exe");
  }};
  EXPECT_EQ(run(t), 1);
  EXPECT_EQ(std::u16string(file), u"\\Windows\\wmplayer.exe");
}

}  // namespace
