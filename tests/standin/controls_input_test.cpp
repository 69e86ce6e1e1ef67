// The system's controls inside dialogs on the stand-in, driven by the
// person's pen and keys through the device's input queue (the conformance
// tests drive the same controls by messages): push buttons, typing into
// edits, and drop-down lists.
#include "dialog_fixture.h"

namespace {

using wince::InputEvent;

TEST_F(DialogTest, PushButtonClicksOnlyWhenThePenLiftsOnIt) {
  DialogTemplate t(WS_POPUP | DS_SETFONT, 0, 0, 150, 80, u"Push");
  t.item(kButtonClass, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 10, 10, 50, 14, 1018, u"Browse...");
  RECT button{};
  steps = {[&](HWND h) {
             GetWindowRect(GetDlgItem(h, 1018), &button);
             POINT in{button.left + 5, button.top + 5};
             pen(InputEvent::Kind::PenDown, in);
           },
           [&](HWND h) {
             // Pressed: drawn inverted while the pen is down on it.
             EXPECT_EQ(px(button.left + 3, button.top + 3), 0u);
             EXPECT_TRUE(SendDlgItemMessageW(h, 1018, BM_GETSTATE, 0, 0) & BST_PUSHED);
             pen(InputEvent::Kind::PenMove, POINT{button.right + 20, button.bottom + 20});
             pen(InputEvent::Kind::PenUp, POINT{button.right + 20, button.bottom + 20});
           },
           [&](HWND h) {
             EXPECT_EQ(px(button.left + 3, button.top + 3), kWhite);
             EXPECT_EQ(commands.size(), 0u) << "lifted outside: no click";
             tap(GetDlgItem(h, 1018));
           },
           [&](HWND h) { EndDialog(h, 1); }};
  EXPECT_EQ(run(t), 1);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].wParam, MAKEWPARAM(1018, BN_CLICKED));
  EXPECT_NE(commands[0].lParam, 0);
}

// Reading text back, the limit and a field without ES_AUTOHSCROLL are
// checked by messages in the conformance tests; here the keys themselves.
TEST_F(DialogTest, TypedKeysGoToTheFocusedEditAndALongLineScrollsToTheCaret) {
  DialogTemplate t(WS_POPUP | DS_SETFONT, 0, 0, 160, 80, u"Edit");
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 8, 8, 148, 13, 1017, u"");
  int changes = 0;
  handler = [&](HWND, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_COMMAND && wp == MAKEWPARAM(1017, EN_CHANGE)) ++changes;
    return msg == WM_INITDIALOG;
  };
  const std::u16string path = u"\\Windows\\wmplayer.exe";
  steps = {[&](HWND h) {
             ASSERT_EQ(GetFocus(), GetDlgItem(h, 1017));
             type(u"hellp");
             type(std::u16string(1, VK_BACK));
             type(u"o");
           },
           [&](HWND h) {
             EXPECT_EQ(changes, 7) << "one EN_CHANGE per change";
             EXPECT_EQ(textOf(GetDlgItem(h, 1017)), u"hello");
             SetDlgItemTextW(h, 1017, path.c_str());
             tap(GetDlgItem(h, 1017));  // the caret lands inside the text
             key(VK_END);
             type(u"xyz");
           },
           [&](HWND h) {
             EXPECT_EQ(textOf(GetDlgItem(h, 1017)), path + u"xyz") << "End took the caret to the end";
             type(std::u16string(60, u'm'));
           },
           [&](HWND h) {
             EXPECT_EQ(GetWindowTextLengthW(GetDlgItem(h, 1017)), 24 + 60);
             RECT field;
             GetWindowRect(GetDlgItem(h, 1017), &field);
             // The last characters typed are in view at the right end.
             int inkRight = inkBounds(RECT{field.left, field.top + 2, field.right, field.bottom - 2}).right - 1;
             EXPECT_GT(inkRight, field.right - 20);
             EndDialog(h, 1);
           }};
  EXPECT_EQ(run(t), 1);
}

// CB_SETCURSEL's silence is checked in the conformance tests; here the
// person's taps on the box and its list.
TEST_F(DialogTest, ComboBoxNotifiesOnlyWhenThePersonChangesTheSelection) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 143, 90, u"Language");
  t.item(kComboClass, kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 32, 32, 105, 30, 1000, u"");
  handler = [&](HWND h, UINT msg, WPARAM, LPARAM) -> INT_PTR {
    if (msg != WM_INITDIALOG) return FALSE;
    for (const char16_t* s : {u"English", u"Español"})
      SendDlgItemMessageW(h, 1000, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageW(h, 1000, CB_SETCURSEL, 0, 0);
    return TRUE;
  };
  RECT box{};
  steps = {[&](HWND h) {
             GetWindowRect(GetDlgItem(h, 1000), &box);
             tap(GetDlgItem(h, 1000));
           },
           [&](HWND) {
             const auto* list = dev.windows().openDropDownList();
             ASSERT_NE(list, nullptr) << "the list is down";
             EXPECT_EQ(*list, (std::vector<std::u16string>{u"English", u"Español"}));
             chooseList(u"Español");
           },
           [&](HWND h) {
             EXPECT_EQ(dev.windows().openDropDownList(), nullptr);
             EXPECT_EQ(SendDlgItemMessageW(h, 1000, CB_GETCURSEL, 0, 0), 1);
             tap(GetDlgItem(h, 1000));
             chooseList(u"Español");  // the same entry again
           },
           [&](HWND h) { tap(GetDlgItem(h, 1000)); },
           [&](HWND) {
             // A tap on the first entry of the list below the box.
             tap(POINT{box.left + 10, box.bottom + 6});
           },
           [&](HWND h) {
             EXPECT_EQ(SendDlgItemMessageW(h, 1000, CB_GETCURSEL, 0, 0), 0);
             tap(GetDlgItem(h, 1000));
             tap(POINT{box.left + 10, box.top - 40});  // elsewhere: closes, nothing chosen
           },
           [&](HWND h) {
             EXPECT_EQ(dev.windows().openDropDownList(), nullptr);
             EXPECT_EQ(SendDlgItemMessageW(h, 1000, CB_GETCURSEL, 0, 0), 0);
             EndDialog(h, 1);
           }};
  EXPECT_EQ(run(t), 1);
  EXPECT_EQ(commandsWith(MAKEWPARAM(1000, CBN_SELCHANGE)), 2) << "to Español, back to English";
  for (const MSG& m : commands)
    EXPECT_TRUE(m.wParam != MAKEWPARAM(1000, CBN_SELCHANGE) || m.lParam != 0) << "the box names itself";
}

}  // namespace
