// The Pocket PC shell library's two calls: the tap-and-hold recogniser
// (SHRecognizeGesture) and full-screen dialog set-up (SHInitDialog), on the
// stand-in and against our aygshell.dll for desktop Win32. Where the two
// differ by design, one helper below says how each does it: the device draws
// the done button on the shell's navigation bar, while desktop Win32 has no
// such bar and our aygshell.dll gives the dialog a child OK button (id IDOK)
// and sizes it to the work area below a band as high as the bar.
#include "drawing.h"
// After <windows.h>, which it needs.
#include <aygshell.h>

#ifndef _WIN32
#include "shell_state.h"
#include "window_manager.h"
#endif

namespace {

constexpr int kNavigationBarHeight = 26;
constexpr POINT kDown{50, 10};  // where the pen went down, client coordinates

// Where a full-screen dialog goes: below the navigation bar, down to the
// bottom of the screen (of the work area on Win32).
RECT belowNavigationBar() {
#ifdef _WIN32
  RECT r;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
#else
  const wince::Screen& s = wince::Device::current().screen();
  RECT r{0, 0, s.width, s.height};
#endif
  r.top += kNavigationBarHeight;
  return r;
}

// How many done buttons the shell shows for `dialog`: navigation bars it
// owns on the device; OK buttons in it on Win32.
int doneButtons(HWND dialog) {
  int n = 0;
#ifdef _WIN32
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) n += GetDlgCtrlID(c) == IDOK;
#else
  for (HWND h : wince::Device::current().windows().topLevelWindows()) n += IsWindowVisible(h) && GetParent(h) == dialog;
#endif
  return n;
}

// Presses `dialog`'s done button as a person would: a tap on the "ok" of the
// navigation bar on the device; a click on the OK button on Win32. False
// when the dialog shows none.
bool pressDone(HWND dialog) {
#ifdef _WIN32
  HWND done = GetDlgItem(dialog, IDOK);
  EXPECT_NE(nullptr, done);
  if (!done) return false;
  EXPECT_TRUE(IsWindowVisible(done));
  EXPECT_EQ(WString(TEXT("OK")), textOf(done));
  SendMessageW(done, BM_CLICK, 0, 0);
#else
  wince::Device& d = wince::Device::current();
  EXPECT_EQ(dialog, d.shell().doneButtonOwner());
  if (d.shell().doneButtonOwner() != dialog) return false;
  RECT ok = d.shell().doneButtonRect();
  POINT p{(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2};
  for (wince::InputEvent::Kind k : {wince::InputEvent::Kind::PenDown, wince::InputEvent::Kind::PenUp})
    d.input().push(wince::InputEvent{k, p, 0, 0, {}});
#endif
  return true;
}

// The pen goes down on a visible window of its own.
class Gesture : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
#ifdef _WIN32
    // The moves the window manager makes up on its own fall where the pen is held.
    POINT p = kDown;
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
#endif
    platform.pump();
  }

  // The recogniser's answer for a pen down at kDown, and how long it took.
  // Time on the stand-in passes only when asked to: the pen rests there for
  // longer than any hold.
  DWORD recognize(const SHRGINFO* info, DWORD* elapsed) {
    platform.letTimePass(1500);
    DWORD start = GetTickCount();
    DWORD result = SHRecognizeGesture(const_cast<SHRGINFO*>(info));
    *elapsed = GetTickCount() - start;
    return result;
  }
};

struct HoldCase {
  const char* name;
  DWORD flags;
  UINT waiting;  // a pen message queued before the call; 0 for none
  POINT at;      // ...and where, client coordinates
  DWORD result;
  DWORD minMs, maxMs;  // how long the call takes
  bool leftQueued;     // the waiting message stays for the window
};
const HoldCase kHoldCases[] = {
    {"ARestingPenHolds", SHRG_RETURNCMD, 0, {}, GN_CONTEXTMENU, 450, 1500, false},
    {"LongDelayDoublesTheHold", SHRG_RETURNCMD | SHRG_LONGDELAY, 0, {}, GN_CONTEXTMENU, 950, 2500, false},
    {"PenUpFirstIsATap", SHRG_RETURNCMD, WM_LBUTTONUP, {50, 10}, 0, 0, 400, true},
    {"AMoveWithinTheSlopIsTakenAndHolds", SHRG_RETURNCMD, WM_MOUSEMOVE, {53, 7}, GN_CONTEXTMENU, 450, 1500, false},
    {"AMoveRightBeyondTheSlopEndsIt", SHRG_RETURNCMD, WM_MOUSEMOVE, {56, 10}, 0, 0, 400, true},
    {"AMoveDownBeyondTheSlopEndsIt", SHRG_RETURNCMD, WM_MOUSEMOVE, {50, 16}, 0, 0, 400, true},
    {"AMoveUpLeftBeyondTheSlopEndsIt", SHRG_RETURNCMD, WM_MOUSEMOVE, {44, 4}, 0, 0, 400, true},
};

void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.name; }

class GestureHold : public Gesture, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(GestureHold, AnswersAfterTheHoldOrAtThePensFirstDeparture) {
  const HoldCase& c = GetParam();
  const LPARAM where = MAKELPARAM(c.at.x, c.at.y);
  if (c.waiting) PostMessageW(window, c.waiting, c.waiting == WM_MOUSEMOVE ? MK_LBUTTON : 0, where);
  const SHRGINFO info{sizeof(SHRGINFO), window, kDown, c.flags};
  DWORD elapsed = 0;
  EXPECT_EQ(c.result, recognize(&info, &elapsed));
  EXPECT_GE(elapsed, c.minMs);
  EXPECT_LT(elapsed, c.maxMs);
  EXPECT_EQ(nullptr, GetCapture()) << "capture released";
  if (c.waiting) {
    MSG m{};
    EXPECT_EQ(c.leftQueued, PeekMessageW(&m, window, c.waiting, c.waiting, PM_REMOVE) != FALSE);
    if (c.leftQueued) {
      EXPECT_EQ(where, m.lParam);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Pen, GestureHold, ::testing::ValuesIn(kHoldCases),
                         [](const ::testing::TestParamInfo<HoldCase>& i) { return std::string(i.param.name); });

TEST_F(Gesture, BadRecordsAnswerZeroAtOnce) {
  HWND gone =
      CreateWindowExW(0, kClass, TEXT("gone"), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, programInstance(), nullptr);
  DestroyWindow(gone);
  struct Bad {
    const char* what;
    SHRGINFO info;
    bool none;  // no record at all
  };
  const Bad rows[] = {
      {"no cbSize", SHRGINFO{0, window, kDown, SHRG_RETURNCMD}, false},
      {"no SHRG_RETURNCMD", SHRGINFO{sizeof(SHRGINFO), window, kDown, SHRG_NOTIFYPARENT}, false},
      {"a window that is not there", SHRGINFO{sizeof(SHRGINFO), gone, kDown, SHRG_RETURNCMD}, false},
      {"no record", {}, true},
  };
  for (const Bad& b : rows) {
    DWORD elapsed = 0;
    EXPECT_EQ(0u, recognize(b.none ? nullptr : &b.info, &elapsed)) << b.what;
    EXPECT_LT(elapsed, 400u) << b.what;
  }
}

// A dialog with no controls of its own that hands `info` to SHInitDialog
// from WM_INITDIALOG and ends on IDOK.
class ShellDialog : public ApiDialogTest {
 protected:
  SHINITDLGINFO info{};
  BOOL initialised = FALSE;
  RECT before{};  // the dialog's window before SHInitDialog

  void SetUp() override {
    ApiDialogTest::SetUp();
    handler = [this](HWND h, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
      if (msg == WM_INITDIALOG) {
        GetWindowRect(h, &before);
        info.hDlg = h;
        initialised = SHInitDialog(&info);
        return TRUE;
      }
      if (msg == WM_COMMAND && LOWORD(wp) == IDOK) return EndDialog(h, IDOK);
      return FALSE;
    };
  }
  INT_PTR runDialog() { return run(DialogTemplate(WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 100, 60, TEXT("Shell"))); }
  RECT windowRect(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return r;
  }
};

TEST_F(ShellDialog, FullScreenBelowTheNavigationBarWithOneDoneButtonThatSendsIdOk) {
  info = SHINITDLGINFO{SHIDIM_FLAGS, nullptr, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN};
  steps = {[&](HWND h) {
    EXPECT_TRUE(initialised);
    EXPECT_EQ(belowNavigationBar(), windowRect(h));
    EXPECT_EQ(1, doneButtons(h));
    EXPECT_TRUE(SHInitDialog(&info));
    EXPECT_EQ(1, doneButtons(h)) << "a second call adds no second button";
    if (!pressDone(h)) EndDialog(h, 0);
  }};
  EXPECT_EQ(IDOK, runDialog());
  EXPECT_EQ(1, commandsWith(MAKEWPARAM(IDOK, BN_CLICKED)));
  EXPECT_FALSE(SHInitDialog(&info)) << "the dialog has gone";
  EXPECT_FALSE(SHInitDialog(nullptr));
}

struct InitCase {
  const char* name;
  DWORD mask, flags;
  bool sized;  // full screen below the navigation bar; else left where it was
  int done;    // done buttons
};
const InitCase kInitCases[] = {
    {"FlagsAreIgnoredWithoutTheMask", 0, SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN, false, 0},
    {"FullScreenWithoutADoneButton", SHIDIM_FLAGS, SHIDIF_SIZEDLGFULLSCREEN, true, 0},
    {"SizeDlgSizesToo", SHIDIM_FLAGS, SHIDIF_SIZEDLG, true, 0},
    {"FullScreenNoMenuBarSizesToo", SHIDIM_FLAGS, SHIDIF_FULLSCREENNOMENUBAR, true, 0},
    {"ADoneButtonAlone", SHIDIM_FLAGS, SHIDIF_DONEBUTTON, false, 1},
};

void PrintTo(const InitCase& c, std::ostream* os) { *os << c.name; }

class ShellDialogFlags : public ShellDialog, public ::testing::WithParamInterface<InitCase> {};

TEST_P(ShellDialogFlags, SizeAndDoneButtonOnlyAsAsked) {
  const InitCase& c = GetParam();
  info = SHINITDLGINFO{c.mask, nullptr, c.flags};
  steps = {[&](HWND h) {
    EXPECT_TRUE(initialised);
    EXPECT_EQ(c.sized ? belowNavigationBar() : before, windowRect(h));
    EXPECT_EQ(c.done, doneButtons(h));
    EndDialog(h, 1);
  }};
  EXPECT_EQ(1, runDialog());
}

INSTANTIATE_TEST_SUITE_P(Flags, ShellDialogFlags, ::testing::ValuesIn(kInitCases),
                         [](const ::testing::TestParamInfo<InitCase>& i) { return std::string(i.param.name); });

#ifdef _WIN32
INT_PTR CALLBACK plainDialog(HWND, UINT msg, WPARAM, LPARAM) { return msg == WM_INITDIALOG; }
#endif

TEST_F(ShellDialog, AChildDialogFillsItsParent) {
#ifndef _WIN32
  GTEST_SKIP() << "the stand-in makes every dialog a popup: it has no child dialogs";
#else
  info = SHINITDLGINFO{SHIDIM_FLAGS, nullptr, SHIDIF_SIZEDLGFULLSCREEN};
  steps = {[&](HWND h) {
    DialogTemplate t(WS_CHILD | WS_VISIBLE, 0, 0, 40, 30, TEXT(""));
    HWND child = CreateDialogIndirectParamW(programInstance(), t.get(), h, plainDialog, 0);
    EXPECT_NE(nullptr, child);
    SHINITDLGINFO childInfo{SHIDIM_FLAGS, child, SHIDIF_SIZEDLGFULLSCREEN};
    if (child && SHInitDialog(&childInfo)) {
      RECT parent, got;
      GetClientRect(h, &parent);
      GetClientRect(child, &got);
      EXPECT_EQ(parent, got);
      EXPECT_EQ(0, doneButtons(child)) << "none unasked";
    }
    if (child) DestroyWindow(child);
    EndDialog(h, 1);
  }};
  EXPECT_EQ(1, runDialog());
#endif
}

}  // namespace
