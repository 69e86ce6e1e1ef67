// Popup menus and message boxes through the API alone: building and
// destroying a menu, and message boxes answered by a timer that finds the
// box by its caption and sends it the command of one of its buttons.
#include "fixture.h"

namespace {

TEST(MenuApi, PopupMenusCountTheirItemsAndAreDestroyedOnce) {
  ApiPlatform platform;
  (void)platform;  // a device of its own on the stand-in
  HMENU menu = CreatePopupMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(GetMenuItemCount(menu), 0);
  EXPECT_TRUE(AppendMenuW(menu, MF_STRING, 100, TEXT("Play")));
  EXPECT_TRUE(AppendMenuW(menu, MF_SEPARATOR, 0, nullptr));
  EXPECT_TRUE(AppendMenuW(menu, MF_STRING | MF_GRAYED, 101, TEXT("Mute")));
  EXPECT_EQ(GetMenuItemCount(menu), 3);

  HMENU sub = CreatePopupMenu();
  AppendMenuW(sub, MF_STRING, 200, TEXT("Small"));
  EXPECT_TRUE(AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), TEXT("Size")));
  EXPECT_EQ(GetMenuItemCount(menu), 4);

  EXPECT_TRUE(DestroyMenu(menu));  // and the submenu with it
  EXPECT_FALSE(DestroyMenu(menu));
  EXPECT_EQ(GetMenuItemCount(menu), -1);
  EXPECT_FALSE(AppendMenuW(menu, MF_STRING, 1, TEXT("Late")));
}

// The box to answer and how; set by the test before MessageBoxW.
struct Answering {
  WString caption;
  int button = 0;
  int tries = 0;
  bool found = false;
};
Answering& answering() {
  static Answering a;
  return a;
}

void CALLBACK answerBox(HWND, UINT, UINT_PTR id, DWORD) {
  Answering& a = answering();
  HWND box = FindWindowW(nullptr, a.caption.c_str());
  if (!box && ++a.tries < 200) return;  // not up yet
  KillTimer(nullptr, id);
  a.found = box != nullptr;
  // Whatever happens, the box must not stay up.
  if (!box) box = GetForegroundWindow();
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(a.found ? a.button : IDCANCEL, BN_CLICKED), 0);
}

struct BoxCase {
  const char* name;
  UINT type;
  int button;
  LPCWSTR caption = TEXT("Crestune box");
};
const BoxCase kBoxCases[] = {
    {"OkAnswersOk", MB_OK, IDOK},
    {"OkCancelAnswersCancel", MB_OKCANCEL, IDCANCEL},
    {"YesNoAnswersYes", MB_YESNO | MB_ICONQUESTION, IDYES},
    {"YesNoAnswersNo", MB_YESNO, IDNO},
    {"OkCancelAnswersOk", MB_OKCANCEL | MB_ICONEXCLAMATION, IDOK},
    {"OkWithAnIconAnswersOk", MB_OK | MB_ICONINFORMATION, IDOK},
    {"WithoutACaptionTheBoxIsTitledError", MB_OK, IDOK, nullptr},
};

class MessageBoxApi : public ::testing::TestWithParam<BoxCase> {
 protected:
  ApiPlatform platform;
};

TEST_P(MessageBoxApi, ACommandNamingAButtonAnswersTheBox) {
  const BoxCase& c = GetParam();
  const WString caption = c.caption ? c.caption : TEXT("Error");
  answering() = Answering{caption, c.button, 0, false};
  EXPECT_NE(SetTimer(nullptr, 0, 20, answerBox), 0u);
  platform.letTimePass(40);
  EXPECT_EQ(MessageBoxW(nullptr, TEXT("Crestune asks"), c.caption, c.type), c.button);
  EXPECT_TRUE(answering().found) << "the box was found by its caption";
  platform.pump();
  EXPECT_EQ(FindWindowW(nullptr, caption.c_str()), nullptr) << "the box has gone";
}

INSTANTIATE_TEST_SUITE_P(Buttons, MessageBoxApi, ::testing::ValuesIn(kBoxCases),
                         [](const ::testing::TestParamInfo<BoxCase>& i) { return std::string(i.param.name); });

}  // namespace
