// Shell and common-dialog calls that fail before anything is shown:
// ShellExecuteEx, as far as desktop Win32 has it, for a program that is not
// there, asked for without the shell's own error box; the open-file dialog
// for a structure of a size the platform does not know.
#include "fixture.h"
// After <windows.h>, which they need.
#include <commdlg.h>
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

class OpenFileStructSize : public ::testing::TestWithParam<DWORD> {
 protected:
  ApiPlatform platform;
};

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
