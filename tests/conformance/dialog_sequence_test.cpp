// The dialog manager's start, as a table: what a dialog procedure receives
// up to WM_INITDIALOG, for plain and extended templates with and without a
// font of their own.
#include "sequence.h"

namespace {

using namespace seq;

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

struct StartCase {
  const char* name;
  bool extended;
  bool font;
};
const StartCase kStartCases[] = {
    {"PlainWithFont", false, true},
    {"PlainWithoutFont", false, false},
    {"ExtendedWithFont", true, true},
    {"ExtendedWithoutFont", true, false},
};

class DialogStart : public ApiDialogTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(DialogStart, ProcedureGetsTheFontThenInitDialog) {
  const StartCase& c = GetParam();
  DialogTemplate t(WS_POPUP | WS_CAPTION | (c.font ? DS_SETFONT : 0), 0, 0, 100, 60, TEXT("Start"), c.extended);
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
  EXPECT_TRUE(matches(got, c.font ? kStartWithFont : kStartWithoutFont));
  EXPECT_NE(firstStop, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Templates, DialogStart, ::testing::ValuesIn(kStartCases),
                         [](const ::testing::TestParamInfo<StartCase>& i) { return std::string(i.param.name); });

}  // namespace
