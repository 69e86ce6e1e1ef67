// Each control's own messages as data: a control of a class and style in a
// dialog, the messages sent to it in order, and what each must answer.
#include "fixture.h"

namespace {

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
    {"AutoCheckBoxTogglesOnAClick", kButtonClass, BS_AUTOCHECKBOX,
     {{BM_CLICK, 0, 0, nullptr, 0},
      {BM_GETCHECK, 0, 0, nullptr, BST_CHECKED},
      {BM_CLICK, 0, 0, nullptr, 0},
      {BM_GETCHECK, 0, 0, nullptr, BST_UNCHECKED}}},
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
