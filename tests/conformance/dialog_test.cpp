// The dialog manager as Win32 documents it, through the API alone: dialog
// units and where they put the dialog and its controls, what the procedure
// receives up to WM_INITDIALOG (as a table), WM_INITDIALOG and the first
// focus, EndDialog and a procedure that leaves the rest to DefWindowProcW,
// modality and the dialog's own keys, dialog items, and the ways a dialog
// fails.
#include <tuple>

#include "sequence.h"

namespace {

using namespace seq;

// A control's place in the dialog's client area and its size, each mapped
// from dialog units ({x, y, cx, cy}) on its own, as the dialog manager maps them.
void expectPlaced(HWND dialog, int id, RECT units) {
  MapDialogRect(dialog, &units);
  RECT r;
  GetWindowRect(GetDlgItem(dialog, id), &r);
  POINT corner{r.left, r.top};
  ScreenToClient(dialog, &corner);
  EXPECT_EQ(units, (RECT{corner.x, corner.y, r.right - r.left, r.bottom - r.top})) << id;
}

// A font's dialog base units as Win32 documents them, measured apart from
// the dialog manager: half the average width of the 52 letters, rounded,
// and the character height.
SIZE baseUnitsOf(HFONT font) {
  HDC dc = GetDC(nullptr);
  SIZE sz{};
  const TEXTMETRICW tm = metricsOf(dc, font, TEXT("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"), &sz);
  ReleaseDC(nullptr, dc);
  return SIZE{(sz.cx / 26 + 1) / 2, tm.tmHeight};
}

LONG rounded(LONG v, LONG num, LONG den) { return (v * num + den / 2) / den; }

class ApiDialogTemplates : public ApiDialogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ApiDialogTemplates, ControlsSitWhereTheirDialogUnitsMapAndShareTheDialogFont) {
  DialogTemplate t(WS_POPUP | WS_CAPTION | DS_SETFONT, 10, 20, 100, 100, TEXT("Layout"), GetParam());
  t.item(kButtonClass, kChild | BS_PUSHBUTTON, 7, 9, 50, 14, 101, TEXT("Push"));
  t.item(kEditClass, kChild | WS_BORDER, 13, 31, 101, 13, 102, TEXT("typed"));
  t.item(kStaticClass, kChild | SS_LEFT, 3, 50, 33, 8, 103, TEXT("Label:"));
  // WM_INITDIALOG's parameter is checked in DialogStart.
  handler = [&](HWND h, UINT msg, WPARAM, LPARAM) -> INT_PTR {
    if (msg != WM_INITDIALOG) return FALSE;
    RECT size{0, 0, 100, 100};
    EXPECT_TRUE(MapDialogRect(h, &size));
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(size.right, client.right);
    EXPECT_EQ(size.bottom, client.bottom);
    expectPlaced(h, 101, RECT{7, 9, 50, 14});
    expectPlaced(h, 102, RECT{13, 31, 101, 13});

    HWND label = GetDlgItem(h, 103);
    EXPECT_EQ(GetDlgCtrlID(label), 103);
    EXPECT_EQ(textOf(label), WString(TEXT("Label:")));
    EXPECT_EQ(GetWindowTextLengthW(GetDlgItem(h, 102)), 5);
    EXPECT_EQ(SendDlgItemMessageW(h, 103, WM_GETTEXTLENGTH, 0, 0), 6);
    EXPECT_EQ(GetDlgCtrlID(h), 0) << "a dialog without a menu has no id";
    // Calls on an item the dialog does not have.
    EXPECT_EQ(GetDlgItem(h, 8), nullptr);
    WCHAR buf[4] = {'z', 'z', 'z', 'z'};
    EXPECT_EQ(GetDlgItemTextW(h, 8, buf, 4), 0u);
    EXPECT_EQ(buf[0], 0) << "the buffer is emptied";
    EXPECT_FALSE(SetDlgItemTextW(h, 8, TEXT("x")));
    EXPECT_EQ(SendDlgItemMessageW(h, 8, WM_GETTEXTLENGTH, 0, 0), 0);

    // Every control got the dialog's font: 8 points at the screen's dpi.
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    EXPECT_NE(font, nullptr);
    for (int id : {101, 102, 103})
      EXPECT_EQ(reinterpret_cast<HFONT>(SendDlgItemMessageW(h, id, WM_GETFONT, 0, 0)), font) << id;
    LOGFONTW lf{};
    EXPECT_EQ(GetObjectW(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(lf.lfHeight, -((8 * GetDeviceCaps(screen, LOGPIXELSY) + 36) / 72));
    ReleaseDC(nullptr, screen);

    // A dialog unit is a quarter of the font's base width across and an
    // eighth of its base height down.
    const SIZE base = baseUnitsOf(font);
    EXPECT_GT(base.cx, 3);
    EXPECT_GT(base.cy, 8);
    RECT place{10, 20, 100, 100};
    EXPECT_TRUE(MapDialogRect(h, &place));
    EXPECT_EQ(place, (RECT{rounded(10, base.cx, 4), rounded(20, base.cy, 8), rounded(100, base.cx, 4),
                           rounded(100, base.cy, 8)}));

    // Without an owner the template's place is on the screen.
    RECT window;
    GetWindowRect(h, &window);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
#ifndef _WIN32
    // The stand-in puts the window's corner there, desktop the client area's.
    EXPECT_EQ(window.left, place.left);
    EXPECT_EQ(window.top, place.top);
    EXPECT_EQ(origin.x, window.left + 1) << "a border of one";
    EXPECT_EQ(origin.y, window.top + 1 + 20) << "and a caption bar of 20";
    EXPECT_EQ(window.bottom - window.top, client.bottom + 20 + 2);
#else
    EXPECT_EQ(origin.x, place.left);
    EXPECT_EQ(origin.y, place.top);
    RECT frame{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE)));
    EXPECT_EQ(window, frame);
#endif
    EndDialog(h, 42);
    return TRUE;
  };
  EXPECT_EQ(run(t), 42);
}

INSTANTIATE_TEST_SUITE_P(PlainAndExtended, ApiDialogTemplates, ::testing::Values(false, true));

// The dialog manager's start, as a table: what a dialog procedure receives
// up to WM_INITDIALOG, for plain and extended templates with and without a
// font of their own.
// WM_SETFONT comes before the controls are made, then WM_INITDIALOG with the
// first tab stop and the caller's parameter.
const std::vector<Expected> kStartWithFont = {
    {WM_SETFONT, 0, 0, kSent | kAnyParams},
    {1, 0, 0, kMark},  // no control made yet when the font came
    {WM_INITDIALOG, 0, 4242, kSent | kAnyWParam},
};
const std::vector<Expected> kStartWithoutFont = {
    {WM_INITDIALOG, 0, 4242, kSent | kAnyWParam},
};

// A plain or an extended template (the first), with a font of its own or
// without (the second).
class DialogStart : public ApiDialogTest, public ::testing::WithParamInterface<std::tuple<bool, bool>> {};

TEST_P(DialogStart, ProcedureGetsTheFontThenInitDialog) {
  const auto [extended, font] = GetParam();
  DialogTemplate t(WS_POPUP | WS_CAPTION | (font ? DS_SETFONT : 0), 0, 0, 100, 60, TEXT("Start"), extended);
  t.item(kEditClass, kChild | WS_TABSTOP | WS_BORDER, 5, 5, 60, 12, 101, TEXT("first"));
  t.item(kButtonClass, kChild | WS_TABSTOP | BS_PUSHBUTTON, 5, 25, 40, 14, IDOK, TEXT("OK"));
  std::vector<Received> got;
  bool done = false;
  HWND firstStop = nullptr;
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> INT_PTR {
    if (done || isNoise(msg)) return FALSE;
    got.push_back(Received{h, msg, wp, lp, false, false});
    if (msg == WM_SETFONT && !GetDlgItem(h, 101)) got.push_back(Received{nullptr, 1, 0, 0, false, true});
    if (msg == WM_INITDIALOG) {
      done = true;
      firstStop = reinterpret_cast<HWND>(wp);
      EXPECT_EQ(firstStop, GetDlgItem(h, 101)) << "wParam names the first tab stop";
    }
    return msg == WM_INITDIALOG ? TRUE : FALSE;
  };
  steps = {[](HWND h) { EndDialog(h, 9); }};
  EXPECT_EQ(run(t, nullptr, 4242), 9);
  EXPECT_TRUE(matches(got, font ? kStartWithFont : kStartWithoutFont));
  EXPECT_NE(firstStop, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Templates, DialogStart, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<bool, bool>>& i) {
                           return std::string(std::get<0>(i.param) ? "Extended" : "Plain") +
                                  (std::get<1>(i.param) ? "WithFont" : "WithoutFont");
                         });

TEST_F(ApiDialogTest, InitDialogNamesTheFirstEnabledTabStopAndTrueFocusesItFalseLeavesTheFocus) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 150, 80, TEXT("Focus"));
  t.item(kStaticClass, kChild, 2, 2, 40, 8, 10, TEXT("x"));
  t.item(kButtonClass, kChild | WS_TABSTOP | WS_DISABLED, 2, 12, 40, 14, 11, TEXT("off"));
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP, 2, 30, 80, 12, 12, TEXT("abc"));
  t.item(kButtonClass, kChild | WS_TABSTOP, 2, 50, 40, 14, IDOK, TEXT("OK"));
  HWND named = nullptr;
  handler = [&](HWND, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_INITDIALOG) named = reinterpret_cast<HWND>(wp);
    return msg == WM_INITDIALOG;
  };
  steps = {[&](HWND h) {
    EXPECT_EQ(named, GetDlgItem(h, 12)) << "statics, disabled controls and non-tab-stops are passed over";
    EXPECT_EQ(GetFocus(), GetDlgItem(h, 12));
    DWORD start = 9, end = 9;
    SendDlgItemMessageW(h, 12, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u) << "the whole text of an edit the dialog focuses is selected";
    EXPECT_EQ(end, 3u);
    EndDialog(h, 5);
  }};
  EXPECT_EQ(run(t), 5);

  // Answering FALSE leaves the focus to the procedure.
  handler = [&](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; };
  nextStep = 0;
  steps = {[&](HWND h) {
#ifndef _WIN32
    EXPECT_EQ(GetFocus(), nullptr);
#else
    // Desktop gives the first tab stop the focus when it activates the dialog.
    EXPECT_EQ(GetFocus(), GetDlgItem(h, 12));
#endif
    EndDialog(h, 5);
  }};
  EXPECT_EQ(run(t), 5);
}

TEST_F(ApiDialogTest, WithoutAFontTheSystemFontMeasuresTheDialogAndDsCenterCentresIt) {
  const LONG units = GetDialogBaseUnits();
  EXPECT_GT(LOWORD(units), 3);
  EXPECT_GT(HIWORD(units), 8);
  DialogTemplate t(WS_POPUP | WS_CAPTION | DS_CENTER, 0, 0, 100, 40, TEXT("Centre"));
  handler = [&](HWND h, UINT msg, WPARAM, LPARAM) -> INT_PTR {
    if (msg != WM_INITDIALOG) return FALSE;
    RECT client, window;
    GetClientRect(h, &client);
    GetWindowRect(h, &window);
    EXPECT_EQ(client.right, rounded(100, LOWORD(units), 4));
    EXPECT_EQ(client.bottom, rounded(40, HIWORD(units), 8));
#ifndef _WIN32
    const RECT area{0, 0, 240, 320};  // the stand-in centres on its whole screen
#else
    RECT area{};  // desktop on the work area
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
#endif
    EXPECT_EQ(window.left, area.left + (area.right - area.left - (window.right - window.left)) / 2);
    EXPECT_EQ(window.top, area.top + (area.bottom - area.top - (window.bottom - window.top)) / 2);
    EndDialog(h, 1);
    return TRUE;
  };
  EXPECT_EQ(run(t), 1);
}

TEST_F(ApiDialogTest, EndDialogHidesAtOnceAndTheDialogIsDestroyedWhenItsLoopEnds) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT, 0, 0, 100, 60, TEXT("End"));
  t.item(kButtonClass, kChild | WS_TABSTOP, 5, 5, 40, 14, IDCANCEL, TEXT("Cancel"));
  HWND dialog = nullptr;
  bool visibleAfterEnd = true, aliveAfterEnd = false, destroyed = false;
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    switch (msg) {
      case WM_INITDIALOG: dialog = h; return TRUE;
      case WM_COMMAND:
        if (LOWORD(wp) == IDCANCEL) {
          EXPECT_TRUE(EndDialog(h, 1019));
          visibleAfterEnd = IsWindowVisible(h);
          aliveAfterEnd = IsWindow(h);
        }
        return TRUE;
      case WM_DESTROY: destroyed = true; return FALSE;
    }
    return FALSE;
  };
  steps = {[&](HWND h) {
    EXPECT_TRUE(IsWindowVisible(h));
    SendDlgItemMessageW(h, IDCANCEL, BM_CLICK, 0, 0);
  }};
  EXPECT_EQ(run(t), 1019);
  EXPECT_FALSE(visibleAfterEnd);
  EXPECT_TRUE(aliveAfterEnd) << "EndDialog only ends the loop";
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(commandsWith(MAKEWPARAM(IDCANCEL, BN_CLICKED)), 1);
  EXPECT_FALSE(EndDialog(dialog, 1)) << "not a window any more";
}

TEST_F(ApiDialogTest, AProcedureAnsweringWithDefWindowProcStillEndsAndWmCloseDestroysTheDialog) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 20, 40, 100, 60, TEXT("Def"));
  t.item(kButtonClass, kChild | WS_TABSTOP, 5, 5, 40, 14, IDOK, TEXT("OK"));
  // Written the way the product writes its procedures: what it does not
  // handle goes to DefWindowProcW, and that answer is returned.
  handler = [](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> INT_PTR {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND) return LOWORD(wp) == IDOK ? EndDialog(h, 1) : 0;
    return DefWindowProcW(h, msg, wp, lp);
  };
  steps = {[](HWND h) { SendDlgItemMessageW(h, IDOK, BM_CLICK, 0, 0); }};
  EXPECT_EQ(run(t), 1);

  // DefWindowProcW destroys the dialog on WM_CLOSE, without EndDialog: the
  // loop ends all the same and the dialog answers 0.
  HWND dialog = nullptr;
  nextStep = 0;
  steps = {[&](HWND h) {
    dialog = h;
    PostMessageW(h, WM_CLOSE, 0, 0);
  }};
  EXPECT_EQ(run(t), 0);
  EXPECT_NE(dialog, nullptr);
  EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(ApiDialogTest, ModalToItsOwnerAndTheDialogKeepsTabEnterAndEscapeForItself) {
  const WNDCLASSW wc = windowClass(TEXT("CrestuneOwner"), DefWindowProcW, nullptr, nullptr);
  ASSERT_TRUE(RegisterClassW(&wc));
  EXPECT_FALSE(RegisterClassW(&wc)) << "a class is registered once";
  HWND owner = CreateWindowExW(0, TEXT("CrestuneOwner"), TEXT(""), WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_NE(owner, nullptr);
  DialogTemplate t(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT, 10, 10, 100, 50, TEXT("Modal"));
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 4, 4, 80, 12, 1017, TEXT(""));
  t.item(kButtonClass, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 4, 20, 40, 14, 1018, TEXT("Go"));
  steps = {[&](HWND h) {
             EXPECT_FALSE(IsWindowEnabled(owner)) << "the owner is disabled while the dialog is up";
             EXPECT_EQ(GetParent(h), owner);
             EXPECT_EQ(GetFocus(), GetDlgItem(h, 1017));
             pressKey(h, VK_RETURN);
           },
           [&](HWND h) {
             EXPECT_EQ(commandsWith(MAKEWPARAM(1018, BN_CLICKED)), 1) << "Enter is a click on the default button";
             EXPECT_EQ(commandsWith(MAKEWPARAM(IDOK, BN_CLICKED)), 0);
             pressKey(h, VK_TAB);
           },
           [&](HWND h) {
             EXPECT_EQ(GetFocus(), GetDlgItem(h, 1018)) << "Tab moves to the next tab stop";
             pressKey(h, VK_TAB);
           },
           [&](HWND h) {
             EXPECT_EQ(GetFocus(), GetDlgItem(h, 1017)) << "and wraps around";
             pressKey(h, VK_ESCAPE);
           }};
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) return EndDialog(h, 3);
    return FALSE;
  };
  EXPECT_EQ(run(t, owner), 3);
  EXPECT_EQ(commandsWith(MAKEWPARAM(IDCANCEL, BN_CLICKED)), 1) << "Escape is a click on Cancel";
  EXPECT_TRUE(IsWindowEnabled(owner)) << "and enabled again afterwards";
  EXPECT_TRUE(DestroyWindow(owner));
  EXPECT_TRUE(UnregisterClassW(TEXT("CrestuneOwner"), nullptr));
}

TEST_F(ApiDialogTest, ABadParentOrAControlThatCannotBeMadeFailsTheDialog) {
  DialogTemplate good(WS_POPUP, 0, 0, 50, 50, TEXT("Good"));
  int initialised = 0;
  handler = [&](HWND h, UINT msg, WPARAM, LPARAM) -> INT_PTR {
    if (msg == WM_INITDIALOG) {
      ++initialised;
      EndDialog(h, 9);
    }
    return msg == WM_INITDIALOG;
  };
  const INT_PTR badParent = run(good, reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234)));
#ifndef _WIN32
  // Documented as 0, kept so for older programs; Wine answers -1.
  EXPECT_EQ(badParent, 0) << "a parent that is no window";
#else
  EXPECT_LE(badParent, 0) << "a parent that is no window";
#endif

  DialogTemplate bad(WS_POPUP, 0, 0, 50, 50, TEXT("Bad"));
  bad.item(TEXT("CrestuneNoSuchClass"), kChild, 0, 0, 10, 10, 5, TEXT(""));
  EXPECT_EQ(run(bad), -1) << "a control of a class nobody registered";
  EXPECT_EQ(initialised, 0);
  EXPECT_EQ(run(good), 9);
}

}  // namespace
