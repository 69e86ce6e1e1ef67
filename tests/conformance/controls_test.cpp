// The system's controls in a dialog as Win32 documents them, driven by
// messages alone: radio groups and check boxes, edit text, its limit and a
// full field, the colours a static asks for, drop-down combo boxes, and each
// control's answers to its own messages.
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
  // The checks of 1009, 1006, 21, 22 and 30 (1 for BST_CHECKED) after each click.
  static const struct {
    int click;
    LRESULT checks[5];
  } rows[] = {
      {0, {1, 0, 1, 0, 0}},
      {1006, {0, 1, 1, 0, 0}},  // the other group is untouched
      {22, {0, 1, 0, 1, 0}},
      {30, {0, 1, 0, 1, 1}},
      {30, {0, 1, 0, 1, 0}},
      {22, {0, 1, 0, 1, 0}},  // clicking the checked one keeps it checked
  };
  steps = {[&](HWND h) {
    const int ids[] = {1009, 1006, 21, 22, 30};
    for (const auto& r : rows) {
      if (r.click) click(h, r.click);
      for (int i = 0; i < 5; ++i) EXPECT_EQ(check(h, ids[i]), r.checks[i]) << ids[i] << " after " << r.click;
    }
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
// CB_SETCURSEL in and out of range are in the table below; here the box's
// size and text, clearing the choice, sorting and CB_GETLBTEXT.
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

// Each control's own messages as data: a control of a class and style in a
// dialog, the messages sent to it in order, and what each must answer. An
// auto check box's clicks are in AutoRadioButtonsClearTheRestOfTheirGroupOnly.
struct Op {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LPCWSTR text;  // when set, the lParam sent instead
  LRESULT answer;
  const char* wineDeparts = nullptr;  // how Wine answers otherwise than Windows documents, or null
};
// An answer the platform does not document: sent, not checked.
constexpr LRESULT kNoAnswer = static_cast<LRESULT>(0x7EADBEEF);

struct ControlCase {
  const char* name;
  WORD cls;
  DWORD style;
  std::vector<Op> ops;
};

const ControlCase kControlCases[] = {
    {"CheckBoxKeepsItsCheck", kButtonClass, BS_CHECKBOX,
     {{BM_GETCHECK, 0, 0, nullptr, BST_UNCHECKED},
      {BM_SETCHECK, BST_CHECKED, 0, nullptr, 0},
      {BM_GETCHECK, 0, 0, nullptr, BST_CHECKED},
      {BM_SETCHECK, BST_UNCHECKED, 0, nullptr, 0},
      {BM_GETCHECK, 0, 0, nullptr, BST_UNCHECKED}}},
    {"AutoCheckBoxKeepsItsCheck", kButtonClass, BS_AUTOCHECKBOX,
     {{BM_SETCHECK, BST_CHECKED, 0, nullptr, 0}, {BM_GETCHECK, 0, 0, nullptr, BST_CHECKED}}},
    {"RadioButtonKeepsItsCheck", kButtonClass, BS_RADIOBUTTON,
     {{BM_SETCHECK, BST_CHECKED, 0, nullptr, 0}, {BM_GETCHECK, 0, 0, nullptr, BST_CHECKED}}},
    {"ButtonTextIsItsWindowText", kButtonClass, BS_PUSHBUTTON,
     {{WM_SETTEXT, 0, 0, TEXT("Play"), TRUE}, {WM_GETTEXTLENGTH, 0, 0, nullptr, 4}}},
    {"EditKeepsTheLimitAskedFor", kEditClass, ES_AUTOHSCROLL,
     {{EM_LIMITTEXT, 12, 0, nullptr, 0}, {EM_GETLIMITTEXT, 0, 0, nullptr, 12}}},
    {"EditSelectionIsReadBack", kEditClass, ES_AUTOHSCROLL,
     {{WM_SETTEXT, 0, 0, TEXT("crestune"), TRUE},
      {EM_SETSEL, 2, 5, nullptr, kNoAnswer},
      {EM_GETSEL, 0, 0, nullptr, MAKELONG(2, 5)},
      {WM_GETTEXTLENGTH, 0, 0, nullptr, 8}}},
    {"ComboAddsAtTheEndAndCounts", kComboClass, CBS_DROPDOWNLIST,
     {{CB_GETCOUNT, 0, 0, nullptr, 0},
      {CB_ADDSTRING, 0, 0, TEXT("Small"), 0},
      {CB_ADDSTRING, 0, 0, TEXT("Large"), 1},
      {CB_GETCOUNT, 0, 0, nullptr, 2},
      {CB_GETLBTEXTLEN, 1, 0, nullptr, 5},
      {CB_GETLBTEXTLEN, 2, 0, nullptr, CB_ERR}}},
    {"ComboSelectionStaysInRange", kComboClass, CBS_DROPDOWNLIST,
     {{CB_ADDSTRING, 0, 0, TEXT("One"), 0},
      {CB_ADDSTRING, 0, 0, TEXT("Two"), 1},
      {CB_GETCURSEL, 0, 0, nullptr, CB_ERR},
      {CB_SETCURSEL, 1, 0, nullptr, 1},
      {CB_GETCURSEL, 0, 0, nullptr, 1},
      {CB_SETCURSEL, 5, 0, nullptr, CB_ERR},
      {CB_GETCURSEL, 0, 0, nullptr, CB_ERR, "Wine keeps the selection an out-of-range CB_SETCURSEL clears"}}},
    {"ComboResetEmptiesIt", kComboClass, CBS_DROPDOWNLIST,
     {{CB_ADDSTRING, 0, 0, TEXT("One"), 0},
      {CB_SETCURSEL, 0, 0, nullptr, 0},
      {CB_RESETCONTENT, 0, 0, nullptr, CB_OKAY, "Wine's CB_RESETCONTENT answers TRUE, not CB_OKAY"},
      {CB_GETCOUNT, 0, 0, nullptr, 0},
      {CB_GETCURSEL, 0, 0, nullptr, CB_ERR}}},
    {"StaticTextIsItsWindowText", kStaticClass, SS_LEFT,
     {{WM_SETTEXT, 0, 0, TEXT("Volume:"), TRUE}, {WM_GETTEXTLENGTH, 0, 0, nullptr, 7}}},
};

class ControlMessages : public ApiDialogTest, public ::testing::WithParamInterface<ControlCase> {};

TEST_P(ControlMessages, AnswerAsDocumented) {
  const ControlCase& c = GetParam();
  DialogTemplate t(WS_POPUP | WS_CAPTION | DS_SETFONT, 0, 0, 120, 80, TEXT("Control"));
  t.item(c.cls, kChild | WS_TABSTOP | c.style, 5, 5, 100, c.cls == kComboClass ? 60 : 14, 100, TEXT(""));
  const char* departed = nullptr;
  handler = [&](HWND h, UINT msg, WPARAM, LPARAM) -> INT_PTR {
    if (msg != WM_INITDIALOG) return FALSE;
    for (size_t i = 0; i < c.ops.size(); ++i) {
      const Op& op = c.ops[i];
      LPARAM lp = op.text ? reinterpret_cast<LPARAM>(op.text) : op.lParam;
      LRESULT got = SendDlgItemMessageW(h, 100, op.message, op.wParam, lp);
      if (op.wineDeparts && underWine()) {
        departed = op.wineDeparts;
      } else if (op.answer != kNoAnswer) {
        EXPECT_EQ(got, op.answer) << "message " << i;
      }
    }
    return TRUE;
  };
  steps = {[](HWND h) { EndDialog(h, IDOK); }};
  EXPECT_EQ(run(t), IDOK);
  if (departed) GTEST_SKIP() << departed;
}

INSTANTIATE_TEST_SUITE_P(Each, ControlMessages, ::testing::ValuesIn(kControlCases),
                         [](const ::testing::TestParamInfo<ControlCase>& i) { return std::string(i.param.name); });

}  // namespace
