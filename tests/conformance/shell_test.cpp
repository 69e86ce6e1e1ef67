// The shell's ShellExecuteEx as far as desktop Win32 has it: a program that
// is not there, asked for without the shell's own error box.
#include "fixture.h"
// After <windows.h>, which it needs.
#include <shellapi.h>

namespace {

// Windows CE paths have no drive letter; desktop ones start at one.
#ifdef _WIN32
#define WINDOWS_FOLDER TEXT("C:\\windows\\")
#else
#define WINDOWS_FOLDER TEXT("\\Windows\\")
#endif

TEST(Shell, AProgramThatIsNotThereFailsWithFileNotFound) {
  ApiPlatform platform;
  (void)platform;
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

}  // namespace
