// The system's controls inside dialogs on the stand-in, driven by the pen
// and the keyboard (api_controls_test.cpp drives them by messages): push
// buttons, typing into edits, static colours on the screen, icons and taps,
// and drop-down lists.
#include "dialog_fixture.h"
#include "resources_testdata.h"

namespace {

using wince::InputEvent;
using wince::ObjectKind;

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

TEST_F(DialogTest, TypingIntoAnEditAndReadingItBack) {
  DialogTemplate t(WS_POPUP | DS_SETFONT, 0, 0, 160, 80, u"Edit");
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 8, 8, 148, 13, 1017, u"");
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP, 8, 30, 30, 13, 1020, u"");
  int changes = 0;
  handler = [&](HWND, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_COMMAND && wp == MAKEWPARAM(1017, EN_CHANGE)) ++changes;
    return msg == WM_INITDIALOG;
  };
  steps = {[&](HWND h) {
             EXPECT_EQ(GetFocus(), GetDlgItem(h, 1017));
             type(u"hellp");
             type(std::u16string(1, VK_BACK));
             type(u"o");
           },
           [&](HWND h) {
             EXPECT_EQ(changes, 7) << "one EN_CHANGE per change";
             WCHAR buf[8];
             EXPECT_EQ(GetDlgItemTextW(h, 1017, buf, 8), 5u);
             EXPECT_EQ(std::u16string(buf), u"hello");
             // Set by the program: the caret goes to the start, the parent hears.
             EXPECT_TRUE(SetDlgItemTextW(h, 1017, u"\\Windows\\wmplayer.exe"));
             EXPECT_EQ(changes, 8);
             SendDlgItemMessageW(h, 1017, EM_LIMITTEXT, 24, 0);
             tap(GetDlgItem(h, 1017));
             key(VK_END);
             type(u"xyzw");  // 21 characters + 4 > the limit of 24
           },
           [&](HWND h) {
             WCHAR buf[64];
             GetDlgItemTextW(h, 1017, buf, 64);
             EXPECT_EQ(std::u16string(buf), u"\\Windows\\wmplayer.exexyz");
             // A long path scrolls: the caret stays inside the field.
             SendDlgItemMessageW(h, 1017, EM_LIMITTEXT, 0, 0);
             type(std::u16string(60, u'm'));
             // Without ES_AUTOHSCROLL the text stops at the field's width.
             tap(GetDlgItem(h, 1020));
             type(std::u16string(60, u'w'));
           },
           [&](HWND h) {
             EXPECT_EQ(GetWindowTextLengthW(GetDlgItem(h, 1017)), 24 + 60);
             int narrow = GetWindowTextLengthW(GetDlgItem(h, 1020));
             EXPECT_GT(narrow, 0);
             EXPECT_LT(narrow, 20);
             RECT field;
             GetWindowRect(GetDlgItem(h, 1017), &field);
             // The last characters typed are in view at the right end.
             int inkRight = inkBounds(RECT{field.left, field.top + 2, field.right, field.bottom - 2}).right - 1;
             EXPECT_GT(inkRight, field.right - 20);
             EndDialog(h, 1);
           }};
  EXPECT_EQ(run(t), 1);
}

TEST_F(DialogTest, StaticAsksItsParentForColoursBeforePainting) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 160, 80, u"Colours");
  t.item(kStaticClass, kChild | SS_NOTIFY | WS_GROUP, 6, 10, 120, 12, 1014, u"someone@example.com");
  t.item(kStaticClass, kChild | WS_GROUP, 6, 40, 120, 12, 1013, u"Copyright");
  HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> INT_PTR {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_CTLCOLORSTATIC) {
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lp)) != 1014) return 0;
      SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 255));
      return reinterpret_cast<INT_PTR>(yellow);
    }
    (void)h;
    return FALSE;
  };
  auto count = [&](RECT r, auto pred) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += pred(px(x, y));
    return n;
  };
  auto blueish = [](uint32_t c) { return (c & 0xFF) > 0x80 && ((c >> 16) & 0xFF) < 0x60; };
  steps = {[&](HWND h) {
             RECT link, other;
             GetWindowRect(GetDlgItem(h, 1014), &link);
             GetWindowRect(GetDlgItem(h, 1013), &other);
             EXPECT_GT(count(link, blueish), 10) << "blue text";
             EXPECT_EQ(px(other.right - 2, other.bottom - 2), kWhite) << "zero: the default background";
             EXPECT_EQ(count(other, blueish), 0) << "and black text";
             EXPECT_GT(ink(other), 10);
             tap(GetDlgItem(h, 1014));
             tap(GetDlgItem(h, 1013));
           },
           [&](HWND h) { EndDialog(h, 1); }};
  EXPECT_EQ(run(t), 1);
  ASSERT_EQ(commands.size(), 1u) << "only the SS_NOTIFY static reports taps";
  EXPECT_EQ(commands[0].wParam, MAKEWPARAM(1014, STN_CLICKED));
  DeleteObject(yellow);
}

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
             EXPECT_LT(box.bottom - box.top, 30) << "closed, the box is one entry high";
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
           [&](HWND h) {
             tap(GetDlgItem(h, 1000));
           },
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
             EXPECT_EQ(SendDlgItemMessageW(h, 1000, CB_SETCURSEL, 1, 0), 1);
             EndDialog(h, 1);
           }};
  EXPECT_EQ(run(t), 1);
  EXPECT_EQ(commandsWith(MAKEWPARAM(1000, CBN_SELCHANGE)), 2) << "to Español, back to English";
  for (const MSG& m : commands)
    if (m.wParam == MAKEWPARAM(1000, CBN_SELCHANGE)) EXPECT_NE(m.lParam, 0);
}

}  // namespace
