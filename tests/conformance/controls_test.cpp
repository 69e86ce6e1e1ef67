// The system's controls in a dialog as Win32 documents them, driven by
// messages alone: radio groups and check boxes, edit text, its limit and a
// full field, the colours a static asks for, and drop-down combo boxes.
#include <algorithm>

#include "fixture.h"

namespace {

LRESULT check(HWND h, int id) { return SendDlgItemMessageW(h, id, BM_GETCHECK, 0, 0); }
void click(HWND h, int id) { SendDlgItemMessageW(h, id, BM_CLICK, 0, 0); }

TEST_F(ApiDialogTest, AutoRadioButtonsClearTheRestOfTheirGroupOnly) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 150, 120, TEXT("Radios"));
  // The first group runs from the start of the dialog to the next WS_GROUP
  // (the options page has its radios there, without WS_GROUP).
  t.item(kButtonClass, kChild | BS_AUTORADIOBUTTON, 4, 4, 80, 10, 1009, TEXT("Large"));
  t.item(kButtonClass, kChild | BS_AUTORADIOBUTTON, 4, 16, 80, 10, 1006, TEXT("Normal"));
  t.item(kButtonClass, kChild | WS_TABSTOP, 90, 4, 40, 14, 1018, TEXT("Push"));
  t.item(kStaticClass, kChild | WS_GROUP, 4, 30, 60, 8, 1010, TEXT("Next:"));
  t.item(kButtonClass, kChild | BS_AUTORADIOBUTTON | WS_GROUP, 4, 40, 80, 10, 21, TEXT("A"));
  t.item(kButtonClass, kChild | BS_AUTORADIOBUTTON, 4, 52, 80, 10, 22, TEXT("B"));
  t.item(kButtonClass, kChild | BS_AUTOCHECKBOX | WS_GROUP, 4, 70, 80, 10, 30, TEXT("Check"));
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> INT_PTR {
    if (msg == WM_INITDIALOG) {
      SendDlgItemMessageW(h, 1009, BM_SETCHECK, BST_CHECKED, 0);
      CheckRadioButton(h, 21, 22, 21);
      return TRUE;
    }
    if (msg == WM_COMMAND) {
      EXPECT_EQ(reinterpret_cast<HWND>(lp), GetDlgItem(h, LOWORD(wp)));
    }
    return FALSE;
  };
  steps = {[&](HWND h) {
             EXPECT_EQ(check(h, 1009), BST_CHECKED);
             EXPECT_EQ(check(h, 1006), BST_UNCHECKED);
             EXPECT_EQ(check(h, 21), BST_CHECKED);
             EXPECT_EQ(check(h, 22), BST_UNCHECKED);
             click(h, 1006);
             EXPECT_EQ(check(h, 1009), BST_UNCHECKED);
             EXPECT_EQ(check(h, 1006), BST_CHECKED);
             EXPECT_EQ(check(h, 21), BST_CHECKED) << "the other group is untouched";
             click(h, 22);
             click(h, 30);
             EXPECT_EQ(check(h, 21), BST_UNCHECKED);
             EXPECT_EQ(check(h, 22), BST_CHECKED);
             EXPECT_EQ(check(h, 1006), BST_CHECKED);
             EXPECT_EQ(check(h, 30), BST_CHECKED);
             click(h, 30);
             click(h, 22);  // clicking the checked one keeps it checked
             EXPECT_EQ(check(h, 30), BST_UNCHECKED);
             EXPECT_EQ(check(h, 22), BST_CHECKED);
             EXPECT_EQ(check(h, 1018), BST_UNCHECKED) << "push buttons have no check";
             CheckRadioButton(h, 21, 22, 21);
             EXPECT_EQ(check(h, 21), BST_CHECKED);
             EXPECT_EQ(check(h, 22), BST_UNCHECKED);
             EndDialog(h, 1);
           }};
  EXPECT_EQ(run(t), 1);
  EXPECT_EQ(commandsWith(MAKEWPARAM(1006, BN_CLICKED)), 1);
  EXPECT_EQ(commandsWith(MAKEWPARAM(22, BN_CLICKED)), 2);
  EXPECT_EQ(commandsWith(MAKEWPARAM(30, BN_CLICKED)), 2);
  EXPECT_EQ(commandsWith(MAKEWPARAM(1009, BN_CLICKED)), 0) << "BM_SETCHECK and CheckRadioButton notify nobody";
  EXPECT_EQ(commandsWith(MAKEWPARAM(21, BN_CLICKED)), 0);
}

TEST_F(ApiDialogTest, EditTextIsReadBackTruncatedAndTheLimitHoldsForTypingOnly) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 160, 80, TEXT("Edit"));
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 8, 8, 148, 13, 1017, TEXT(""));
  t.item(kEditClass, kChild | WS_BORDER | WS_TABSTOP, 8, 30, 30, 13, 1020, TEXT(""));
  int changes = 0;
  handler = [&](HWND, UINT msg, WPARAM wp, LPARAM) -> INT_PTR {
    if (msg == WM_COMMAND && wp == MAKEWPARAM(1017, EN_CHANGE)) ++changes;
    return msg == WM_INITDIALOG;
  };
  steps = {[&](HWND h) {
    HWND edit = GetDlgItem(h, 1017);
    EXPECT_TRUE(SetDlgItemTextW(h, 1017, TEXT("hello")));
    EXPECT_EQ(changes, 1) << "a single-line edit reports text set by the program";
    WCHAR buf[8];
    for (WCHAR& c : buf) c = '#';
    EXPECT_EQ(GetDlgItemTextW(h, 1017, buf, 3), 2u) << "truncated to the buffer";
    EXPECT_EQ(WString(buf), WString(TEXT("he"))) << "and terminated";
    EXPECT_EQ(GetDlgItemTextW(h, 1017, buf, 8), 5u);
    EXPECT_EQ(WString(buf), WString(TEXT("hello")));

    // The limit stops typing; text the program sets is not cut.
    SendMessageW(edit, EM_LIMITTEXT, 7, 0);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 5, 5);
    for (WCHAR c : WString(TEXT("xyzw"))) SendMessageW(edit, WM_CHAR, c, 1);
    EXPECT_EQ(textOf(edit), WString(TEXT("helloxy")));
    EXPECT_TRUE(SetDlgItemTextW(h, 1017, TEXT("\\Windows\\wmplayer.exe")));
    EXPECT_EQ(GetWindowTextLengthW(edit), 21);
    // A limit of 0 lifts it.
    SendMessageW(edit, EM_LIMITTEXT, 0, 0);
    SendMessageW(edit, EM_SETSEL, 21, 21);
    for (int i = 0; i < 40; ++i) SendMessageW(edit, WM_CHAR, 'm', 1);
    EXPECT_EQ(GetWindowTextLengthW(edit), 21 + 40);

    // Without ES_AUTOHSCROLL typing stops where the field is full.
    HWND narrow = GetDlgItem(h, 1020);
    SetFocus(narrow);
    for (int i = 0; i < 60; ++i) SendMessageW(narrow, WM_CHAR, 'w', 1);
    EXPECT_GT(GetWindowTextLengthW(narrow), 0);
    EXPECT_LT(GetWindowTextLengthW(narrow), 20);
    EndDialog(h, 1);
  }};
  EXPECT_EQ(run(t), 1);
}

TEST_F(ApiDialogTest, StaticAsksItsParentForColoursBeforePainting) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 160, 80, TEXT("Colours"));
  t.item(kStaticClass, kChild | SS_NOTIFY | WS_GROUP, 6, 10, 120, 12, 1014, TEXT("someone@example.com"));
  t.item(kStaticClass, kChild | WS_GROUP, 6, 40, 120, 12, 1013, TEXT("Copyright"));
  HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
  std::vector<int> asked;
  handler = [&](HWND h, UINT msg, WPARAM wp, LPARAM lp) -> INT_PTR {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_CTLCOLORSTATIC) {
      HWND control = reinterpret_cast<HWND>(lp);
      EXPECT_EQ(GetParent(control), h);
      asked.push_back(GetDlgCtrlID(control));
      if (asked.back() != 1014) return 0;
      SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 255));
      return reinterpret_cast<INT_PTR>(yellow);
    }
    return FALSE;
  };
  steps = {[&](HWND h) {
             EXPECT_GE(std::count(asked.begin(), asked.end(), 1014), 1) << "asked while painting";
             EXPECT_GE(std::count(asked.begin(), asked.end(), 1013), 1);
             // Painting the static now asks again, and the brush fills it.
             asked.clear();
             HWND link = GetDlgItem(h, 1014);
             InvalidateRect(link, nullptr, TRUE);
             UpdateWindow(link);
             EXPECT_EQ(asked, std::vector<int>{1014});
             RECT r;
             GetClientRect(link, &r);
             HDC dc = GetDC(link);
             EXPECT_EQ(GetPixel(dc, r.right - 2, r.bottom - 2), RGB(255, 255, 0));
             ReleaseDC(link, dc);
             // The text in the colour answered; the other static's in black
             // on the default background.
             auto blueish = [](COLORREF c) { return GetBValue(c) > 0x80 && GetRValue(c) < 0x60; };
             auto count = [](HWND control, auto pred) {
               RECT area;
               GetClientRect(control, &area);
               HDC cdc = GetDC(control);
               int n = 0;
               for (int y = 0; y < area.bottom; ++y)
                 for (int x = 0; x < area.right; ++x) n += pred(GetPixel(cdc, x, y));
               ReleaseDC(control, cdc);
               return n;
             };
             HWND other = GetDlgItem(h, 1013);
             EXPECT_GT(count(link, blueish), 10) << "blue text";
             EXPECT_EQ(count(other, blueish), 0);
             EXPECT_GT(count(other, [](COLORREF c) { return c == RGB(0, 0, 0); }), 10) << "black text";
             SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
             SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
             SendDlgItemMessageW(h, 1013, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
             SendDlgItemMessageW(h, 1013, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
           },
           [&](HWND h) { EndDialog(h, 1); }};
  EXPECT_EQ(run(t), 1);
  ASSERT_EQ(commands.size(), 1u) << "only an SS_NOTIFY static reports clicks";
  EXPECT_EQ(commands[0].wParam, MAKEWPARAM(1014, STN_CLICKED));
  EXPECT_NE(commands[0].lParam, 0) << "with its window";
  DeleteObject(yellow);
}

// The answers of CB_ADDSTRING, CB_GETCOUNT, CB_GETLBTEXTLEN and of
// CB_SETCURSEL in and out of range are in control_messages_test.cpp; here
// the box's size and text, clearing the choice, sorting and CB_GETLBTEXT.
TEST_F(ApiDialogTest, DropDownListKeepsItsEntriesAndSelectionWithoutNotifying) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 143, 90, TEXT("Language"));
  t.item(kComboClass, kChild | CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 32, 32, 105, 30, 1000, TEXT(""));
  t.item(kComboClass, kChild | CBS_DROPDOWNLIST | CBS_SORT, 32, 60, 105, 30, 1001, TEXT(""));
  const WString spanish = TEXT("Espa\x00F1ol");
  steps = {[&](HWND h) {
    auto send = [h](int id, UINT msg, WPARAM wp, LPARAM lp = 0) { return SendDlgItemMessageW(h, id, msg, wp, lp); };
    auto str = [](const WCHAR* s) { return reinterpret_cast<LPARAM>(s); };
    RECT box, dropped{0, 0, 0, 30};
    GetWindowRect(GetDlgItem(h, 1000), &box);
    MapDialogRect(h, &dropped);
    EXPECT_LT(box.bottom - box.top, dropped.bottom * 2 / 3) << "closed, the box is one entry high";
    send(1000, CB_ADDSTRING, 0, str(TEXT("English")));
    send(1000, CB_ADDSTRING, 0, str(spanish.c_str()));
    EXPECT_EQ(send(1000, CB_SETCURSEL, 1), 1);
    EXPECT_EQ(textOf(GetDlgItem(h, 1000)), spanish) << "the box shows the chosen entry";
    EXPECT_EQ(send(1000, CB_SETCURSEL, static_cast<WPARAM>(-1)), CB_ERR) << "-1 clears the choice";
    EXPECT_EQ(send(1000, CB_GETCURSEL, 0), CB_ERR);
    EXPECT_EQ(textOf(GetDlgItem(h, 1000)), WString());

    for (const WCHAR* s : {TEXT("pear"), TEXT("Apple"), TEXT("fig")}) send(1001, CB_ADDSTRING, 0, str(s));
    WCHAR buf[16] = {};
    EXPECT_EQ(send(1001, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(buf)), 3);
    EXPECT_EQ(WString(buf), WString(TEXT("fig"))) << "CBS_SORT sorts without regard to case";
    EXPECT_EQ(send(1001, CB_GETLBTEXTLEN, 0), 5);
    EXPECT_EQ(send(1001, CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(buf)), CB_ERR);
    EndDialog(h, 1);
  }};
  EXPECT_EQ(run(t), 1);
  EXPECT_EQ(commandsWith(MAKEWPARAM(1000, CBN_SELCHANGE)), 0) << "CB_SETCURSEL notifies nobody";
}

}  // namespace
