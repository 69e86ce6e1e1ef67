// The dialog manager as only the stand-in can show it (the conformance
// tests check it through the API): the device's record of dialogs, a
// default procedure's dialog on the screen, the pen and keys in a modal
// dialog, an icon static's icon from the dialog's module, and what dialogs
// leave behind (a dialog of a control's class too).
#include <algorithm>
#include <vector>

#include "dialog_fixture.h"
#include "resources_testdata.h"

namespace {

using wince::InputEvent;
using wince::ObjectKind;

// A procedure written the way the product writes them: everything it does
// not handle goes to DefWindowProcW, and its answer is returned.
INT_PTR CALLBACK defWindowProcStyle(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
      if (LOWORD(wp) == IDOK) return EndDialog(h, 1);
      return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

// That such a procedure's dialog ends, and that WM_CLOSE destroys it, is
// checked in the conformance tests; here its background and that the closed
// one leaves no window.
TEST_F(DialogTest, DefWindowProcStyleDialogIsPaintedWhiteAndLeavesNoWindowWhenClosed) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 20, 40, 100, 60, u"Def");
  t.item(kButtonClass, kChild | WS_TABSTOP, 5, 5, 40, 14, IDOK, u"OK");
  std::fill(dev.screen().pixels.begin(), dev.screen().pixels.end(), 0x00336699);
  handler = defWindowProcStyle;
  steps = {[&](HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    EXPECT_EQ(px(r.right - 3, r.bottom - 3), 0x00FFFFFFu) << "painted white by the class brush";
    tap(GetDlgItem(h, IDOK));
  }};
  EXPECT_EQ(run(t), 1) << "the pen ended it";

  nextStep = 0;
  steps = {[&](HWND h) { PostMessageW(h, WM_CLOSE, 0, 0); }};
  const int windows = live(ObjectKind::Window);
  EXPECT_EQ(run(t), 0);
  EXPECT_EQ(live(ObjectKind::Window), windows);
}

// A dialog opened from inside another one's procedure: the device's open
// dialog is the inner one while it runs, and the outer one again after it;
// the device records both, with their results.
TEST_F(DialogTest, NestedDialogsAreOpenInnermostFirst) {
  DialogTemplate outer(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT, 0, 0, 120, 80, u"Outer");
  outer.item(kButtonClass, kChild | WS_TABSTOP, 5, 5, 40, 14, 100, u"Inner");
  outer.item(kButtonClass, kChild | WS_TABSTOP, 5, 25, 40, 14, IDCANCEL, u"Cancel");
  DialogTemplate inner(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT, 10, 10, 80, 40, u"Inner");
  inner.item(kButtonClass, kChild | WS_TABSTOP, 5, 5, 40, 14, IDOK, u"OK");
  INT_PTR innerResult = -1;
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_COMMAND && LOWORD(wp) == 100)
      innerResult = DialogBoxIndirectParamW(nullptr, inner.get(), h, defWindowProcStyle, 0);
    if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) EndDialog(h, 7);
    return msg == WM_INITDIALOG;
  };
  // Each time a loop waits for input: note the open dialog and press its
  // next button (Inner, then the inner OK, then Cancel).
  std::vector<std::u16string> seen;
  dev.input().setFeeder([&] {
    const auto* open = dev.windows().openDialog();
    if (!open || seen.size() >= 3) return false;
    seen.push_back(open->title);
    const int next[] = {100, IDOK, IDCANCEL};
    tap(GetDlgItem(open->window, next[seen.size() - 1]));
    return true;
  });
  EXPECT_EQ(run(outer), 7);
  dev.input().setFeeder(nullptr);
  EXPECT_EQ(seen, (std::vector<std::u16string>{u"Outer", u"Inner", u"Outer"}));
  EXPECT_EQ(innerResult, 1);
  EXPECT_EQ(dev.windows().openDialog(), nullptr);
  // The device's record of each, in the order shown, with its result
  // (EndDialog itself is checked by ApiDialogTest).
  ASSERT_EQ(dev.windows().dialogsShown().size(), 2u);
  for (size_t i : {0, 1}) {
    EXPECT_FALSE(dev.windows().dialogsShown()[i].open);
    EXPECT_EQ(dev.windows().dialogsShown()[i].result, i == 0 ? 7 : 1);
  }
}

int ownerTaps = 0;
LRESULT CALLBACK ownerWindow(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_LBUTTONDOWN) ++ownerTaps;
  return DefWindowProcW(h, msg, wp, lp);
}

TEST_F(DialogTest, ModalDialogKeepsThePenFromItsOwnerAndTypingFollowsTheFocus) {
  const WNDCLASSW wc = windowClass(u"Owner", ownerWindow);
  ASSERT_TRUE(RegisterClassW(&wc));
  HWND owner = CreateWindowExW(0, u"Owner", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr, nullptr,
                               nullptr);
  ownerTaps = 0;
  DialogTemplate t(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT, 10, 10, 100, 50, u"Modal");
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP, 4, 4, 80, 12, 1017, u"");
  t.item(kButtonClass, kChild | WS_TABSTOP, 4, 20, 40, 14, 1018, u"Browse");
  // Owner disabled, Tab and Escape: ApiDialogTest. Here the pen on the owner
  // and typing after Tab has gone round.
  steps = {[&](HWND) {
             tap(POINT{230, 310});  // on the owner, outside the dialog
             key(VK_TAB);
           },
           [&](HWND) {
             key(VK_TAB);
             type(u"hi");
           },
           [&](HWND h) {
             WCHAR text[8];
             GetDlgItemTextW(h, 1017, text, 8);
             EXPECT_EQ(std::u16string(text), u"hi");
             key(VK_ESCAPE);
           }};
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) return EndDialog(h, 3);
    return FALSE;
  };
  EXPECT_EQ(run(t, owner), 3);
  EXPECT_EQ(ownerTaps, 0) << "the pen reached only the dialog";
  DestroyWindow(owner);
}

TEST_F(DialogTest, AHundredDialogsLeaveNothingBehind) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_SETFONT, 0, 0, 140, 90, u"Again");
  t.item(kButtonClass, kChild | BS_AUTORADIOBUTTON, 4, 4, 60, 10, 1, u"One");
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 4, 16, 100, 12, 2, u"path");
  t.item(kStaticClass, kChild | SS_NOTIFY, 4, 30, 100, 8, 3, u"link");
  t.item(kComboClass, kChild | CBS_DROPDOWNLIST | WS_TABSTOP, 4, 42, 80, 30, 4, u"");
  t.item(kButtonClass, kChild | WS_TABSTOP, 4, 70, 40, 14, IDOK, u"OK");
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_INITDIALOG) {
      SendDlgItemMessageW(h, 4, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"a"));
      SendDlgItemMessageW(h, 4, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(u"b"));
      return TRUE;
    }
    if (msg == WM_COMMAND && wp == IDOK) return EndDialog(h, 7);
    return FALSE;
  };
  // Warm up once: classes get registered, fonts cached.
  steps = {[&](HWND h) { tap(GetDlgItem(h, IDOK)); }};
  ASSERT_EQ(run(t), 7);
  const int windows = live(ObjectKind::Window), gdi = dev.liveGdiObjects(), dcs = dev.liveDcs(),
            icons = live(ObjectKind::Icon);
  for (int i = 0; i < 100; ++i) {
    nextStep = 0;
    steps = {[&](HWND h) {
               tap(GetDlgItem(h, 4));
               chooseList(u"b");
               type(u"x");
             },
             [&](HWND h) { tap(GetDlgItem(h, IDOK)); }};
    ASSERT_EQ(run(t), 7) << i;
  }
  EXPECT_EQ(live(ObjectKind::Window), windows);
  EXPECT_EQ(dev.liveGdiObjects(), gdi);
  EXPECT_EQ(dev.liveDcs(), dcs);
  EXPECT_EQ(live(ObjectKind::Icon), icons);
  EXPECT_EQ(dev.windows().dialogsShown().size(), 101u);
}

// What an icon static holds of the stand-in's objects: its icon, loaded
// from the dialog's module, drawn, and freed with it (that it is loaded and
// sized is a conformance test, resource_test.cpp).
TEST_F(DialogTest, IconStaticLoadsItsIconFromTheDialogsModule) {
  std::vector<unsigned char> bytes = testResources();
  ASSERT_FALSE(bytes.empty());
  const HMODULE module = reinterpret_cast<HMODULE>(uintptr_t{0x7D000000});
  dev.addResourceModule(module, bytes.data(), bytes.size());
  const int icons = live(ObjectKind::Icon);
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 143, 70, u"Icon");
  t.item(kStaticClass, kChild | SS_ICON, 4, 5, 20, 20, 0xFFFF, u"", 102);
  steps = {[&](HWND h) {
             HWND icon = GetDlgItem(h, 0xFFFF);
             ASSERT_NE(icon, nullptr);
             EXPECT_NE(SendMessageW(icon, STM_GETICON, 0, 0), 0);
             RECT r;
             GetWindowRect(icon, &r);
             EXPECT_EQ(r.right - r.left, 32);
             EXPECT_EQ(r.bottom - r.top, 32);
             EXPECT_GT(ink(r), 100) << "the icon is drawn";
             EXPECT_EQ(live(ObjectKind::Icon), icons + 1);
             EndDialog(h, 1);
           }};
  EXPECT_EQ(run(t, nullptr, 0, module), 1);
  EXPECT_EQ(live(ObjectKind::Icon), icons) << "the control frees the icon it loaded";
  dev.removeResourceModule(module);
}

// A dialog template that names a class of its own for the dialog: made of a
// control's class, the dialog's window keeps the control's state, and both
// the dialog manager's record and that state go with the window (the
// sanitizer build's leak check sees the state).
TEST_F(DialogTest, ADialogOfAControlsClassLeavesNothingWhenItGoes) {
  for (const char16_t* cls : {u"BUTTON", u"EDIT", u"STATIC", u"COMBOBOX"}) {
    SCOPED_TRACE(std::string(cls, cls + std::char_traits<char16_t>::length(cls)));
    // Without items. The control's own procedure takes WM_INITDIALOG, so
    // nothing ends the dialog: with no input to come it is closed and answers 0.
    const DialogTemplate t(WS_POPUP, 0, 0, 100, 40, u"T", false, 8, u"", cls);
    EXPECT_EQ(run(t), 0);
    const std::vector<std::string> problems = dev.takeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("a dialog was left open"), std::string::npos) << problems[0];
    EXPECT_EQ(live(ObjectKind::Window), 0);
    EXPECT_EQ(dev.windows().openDialog(), nullptr);
  }
}

}  // namespace
