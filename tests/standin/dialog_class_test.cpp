// A dialog template that names a class of its own for the dialog: made of a
// control's class, the dialog's window keeps the control's state, and both
// the dialog manager's record and that state go with the window (the
// sanitizer build's leak check sees the state).
#include "dialog_fixture.h"

namespace {

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
    EXPECT_EQ(live(wince::ObjectKind::Window), 0);
    EXPECT_EQ(dev.windows().openDialog(), nullptr);
  }
}

}  // namespace
