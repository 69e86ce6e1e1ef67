// Popup menus, message boxes and the shell's and common dialogs' calls
// through the API alone: building and destroying a menu; message boxes
// answered by a timer that finds the box by its caption and sends it the
// command of one of its buttons; and calls that fail before anything is
// shown: ShellExecuteEx, as far as desktop Win32 has it, for a program that
// is not there, asked for without the shell's own error box, and the
// open-file dialog for a structure of a size the platform does not know.
#include "fixture.h"
// After <windows.h>, which they need.
#include <commdlg.h>
#include <shellapi.h>

namespace {

TEST_F(PlatformTest, PopupMenusCountTheirItemsAndAreDestroyedOnce) {
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

class MessageBoxApi : public PlatformTest, public ::testing::WithParamInterface<BoxCase> {};

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


// Windows CE paths have no drive letter; desktop ones start at one.
#ifdef _WIN32
#define WINDOWS_FOLDER TEXT("C:\\windows\\")
#else
#define WINDOWS_FOLDER TEXT("\\Windows\\")
#endif

TEST_F(PlatformTest, ShellExecuteExOfAProgramThatIsNotThereFailsWithFileNotFound) {
  for (LPCWSTR file : {WINDOWS_FOLDER TEXT("crestune-no-such-program.exe"), TEXT("crestune-no-such-program.exe")}) {
    SHELLEXECUTEINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = TEXT("open");
    info.lpFile = file;
    info.nShow = SW_SHOWNORMAL;
    info.hProcess = reinterpret_cast<HANDLE>(1);
    SetLastError(0);
    EXPECT_FALSE(ShellExecuteEx(&info));
    // The error as GetLastError gives it, and the shell's older code in hInstApp.
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(SE_ERR_FNF, static_cast<int>(reinterpret_cast<INT_PTR>(info.hInstApp)));
    EXPECT_EQ(nullptr, info.hProcess) << "no process to close";
  }
}

class OpenFileStructSize : public PlatformTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(OpenFileStructSize, IsRefusedWithCderrStructSizeAndTheBufferUntouched) {
  WCHAR file[260] = {'k', 'e', 'p', 't', 0};
  OPENFILENAMEW ofn{};
  ofn.lStructSize = GetParam();
  ofn.lpstrFile = file;
  ofn.nMaxFile = 260;
  ofn.lpstrTitle = TEXT("Crestune conformance");
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
  EXPECT_EQ(WString(file), WString(TEXT("kept")));
  EXPECT_EQ(FindWindowW(nullptr, TEXT("Crestune conformance")), nullptr) << "nothing was shown";
}

// The structure is 76 bytes on Windows CE and 88 on desktop Win32; neither
// platform takes these.
INSTANTIATE_TEST_SUITE_P(Sizes, OpenFileStructSize,
                         ::testing::Values(0u, 1u, 75u, 77u, static_cast<DWORD>(sizeof(OPENFILENAMEW) + 4), 4096u));

}  // namespace
