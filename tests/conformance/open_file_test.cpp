// The open-file dialog's failures that come before anything is shown: a
// structure of a size the platform does not know.
#include "fixture.h"
// After <windows.h>, which it needs.
#include <commdlg.h>

namespace {

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
