// A dialog template that names a class of its own for the dialog: made of a
// control's class, the dialog's window keeps the control's state, and both
// the dialog manager's record and that state go with the window (the
// sanitizer build's leak check sees the state).
#include <cstring>

#include "dialog_fixture.h"

namespace {

// A DLGTEMPLATE without items whose dialog class is `cls`.
std::vector<DWORD> templateOfClass(const std::u16string& cls) {
  std::vector<WORD> w = {LOWORD(WS_POPUP), HIWORD(WS_POPUP), 0, 0, 0, 0, 0, 100, 40, 0};
  w.insert(w.end(), cls.begin(), cls.end());
  w.push_back(0);
  w.push_back(u'T');
  w.push_back(0);
  std::vector<DWORD> aligned((w.size() + 1) / 2);
  std::memcpy(aligned.data(), w.data(), w.size() * sizeof(WORD));
  return aligned;
}

TEST_F(DialogTest, ADialogOfAControlsClassLeavesNothingWhenItGoes) {
  for (const char16_t* cls : {u"BUTTON", u"EDIT", u"STATIC", u"COMBOBOX"}) {
    SCOPED_TRACE(std::string(cls, cls + std::char_traits<char16_t>::length(cls)));
    const std::vector<DWORD> t = templateOfClass(cls);
    // The control's own procedure takes WM_INITDIALOG, so nothing ends the
    // dialog: with no input to come it is closed and answers 0.
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(t.data()), nullptr, proc, 0), 0);
    const std::vector<std::string> problems = dev.takeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("a dialog was left open"), std::string::npos) << problems[0];
    EXPECT_EQ(live(wince::ObjectKind::Window), 0);
    EXPECT_EQ(dev.windows().openDialog(), nullptr);
  }
}

}  // namespace
