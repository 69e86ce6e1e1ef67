// A library of the tests' own (library/confres.rc, .def) loaded as a program
// loads any: its exports by name and by ordinal, raw resources by number,
// by name and of a type of its own, what it does not hold, and dialog
// templates from it by name and with an icon of the library's in them.
#include "fixture.h"

namespace {

class Library : public LibraryTest {
 protected:
  Library() : LibraryTest(TEXT("confres.dll")) {}
  std::string text(LPCWSTR name, LPCWSTR type) {
    DWORD size = 0;
    const BYTE* bytes = data(name, type, &size);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes), size) : "(none)";
  }
};

TEST_F(Library, ExportsAreFoundByNameOrOrdinalAndOthersAreNot) {
  using Answer = int (*)();
  using Twice = int (*)(int);
  auto answer = reinterpret_cast<Answer>(reinterpret_cast<void (*)()>(GetProcAddress(module, "Answer")));
  auto byOrdinal = reinterpret_cast<Answer>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(1)))));
  auto twice = reinterpret_cast<Twice>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(7)))));
  ASSERT_TRUE(answer && twice);
  EXPECT_EQ(answer, byOrdinal) << "the name and the ordinal of one export";
  EXPECT_EQ(42, answer());
  EXPECT_EQ(42, twice(21));
  for (LPCSTR missing : {"Twice", "answer", "Nothing", reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(9))}) {
    SetLastError(0);
    EXPECT_EQ(nullptr, GetProcAddress(module, missing));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
  }
}

TEST(LibraryLoading, ALibraryThatIsNotThereIsModNotFoundAndLoadsCount) {
  ApiPlatform platform;
  (void)platform;
  SetLastError(0);
  EXPECT_EQ(nullptr, LoadLibraryW(TEXT("crestune-no-such-library.dll")));
  EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
  // Loaded twice, the same module, kept until freed as often.
  HMODULE first = LoadLibraryW(TEXT("confres.dll"));
  HMODULE second = LoadLibraryW(TEXT("confres.dll"));
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(first, second);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_NE(nullptr, GetProcAddress(first, "Answer")) << "still loaded once";
  EXPECT_TRUE(FreeLibrary(first));
}

TEST_F(Library, RawResourcesByNumberByNameAndOfATypeOfItsOwn) {
  HRSRC seven = FindResourceW(module, MAKEINTRESOURCEW(7), MAKEINTRESOURCEW(10));  // RT_RCDATA
  ASSERT_NE(nullptr, seven);
  EXPECT_EQ(7u, SizeofResource(module, seven));
  HGLOBAL loaded = LoadResource(module, seven);
  ASSERT_NE(nullptr, loaded);
  EXPECT_EQ(0, std::memcmp(LockResource(loaded), "\x01\x02\x03\x04xyz", 7));
  EXPECT_EQ(seven, FindResourceW(module, TEXT("#7"), MAKEINTRESOURCEW(10)));
  // Names and types by name match without regard to case.
  EXPECT_EQ("hello", text(TEXT("Greeting"), TEXT("TextBlob")));
  EXPECT_EQ("hello", text(TEXT("GREETING"), TEXT("textblob")));
  EXPECT_EQ("q", text(TEXT("ab"), MAKEINTRESOURCEW(10)));

  expectMissing({
      {MAKEINTRESOURCEW(9), MAKEINTRESOURCEW(10), ERROR_RESOURCE_NAME_NOT_FOUND},
      {TEXT("Greeting"), MAKEINTRESOURCEW(10), ERROR_RESOURCE_NAME_NOT_FOUND},
      {MAKEINTRESOURCEW(7), MAKEINTRESOURCEW(4), ERROR_RESOURCE_TYPE_NOT_FOUND},  // RT_MENU: none at all
      {TEXT("Greeting"), TEXT("OtherBlob"), ERROR_RESOURCE_TYPE_NOT_FOUND},
  });
}

TEST_F(Library, IconsThatAreNotThereOrNotIconsAreNotLoaded) {
  EXPECT_EQ(nullptr, LoadImageW(module, MAKEINTRESOURCEW(999), IMAGE_ICON, 24, 24, 0));
  EXPECT_EQ(nullptr, LoadIconW(module, MAKEINTRESOURCEW(7))) << "raw data, not an icon";
  HICON named = LoadIconW(module, TEXT("package"));
  EXPECT_NE(nullptr, named) << "an icon by name, without regard to case";
  if (named) {
    EXPECT_TRUE(DestroyIcon(named));
  }
}

INT_PTR CALLBACK readTemplate(HWND dialog, UINT message, WPARAM, LPARAM param) {
  if (message != WM_INITDIALOG) return FALSE;
  auto* found = reinterpret_cast<WString*>(param);
  WCHAR title[64] = {};
  GetWindowTextW(dialog, title, 64);
  *found = title;
  if (GetDlgItem(dialog, 1019)) *found += TEXT("+1019");
  if (HWND icon = GetDlgItem(dialog, 100)) {
    // An icon static takes its icon from the dialog's module and the
    // standard icon size (32 at 96 dots an inch), whatever the template says.
    RECT r{};
    GetWindowRect(icon, &r);
    if (SendMessageW(icon, STM_GETICON, 0, 0)) *found += TEXT("+icon");
    if (r.right - r.left == 32 && r.bottom - r.top == 32)
      *found += TEXT("+sized");
  }
  EndDialog(dialog, 1);
  return TRUE;
}

TEST_F(Library, DialogTemplatesByNameAndAnIconStaticFromTheDialogsModule) {
  for (LPCWSTR name : {TEXT("Opt"), TEXT("OPT"), TEXT("opt")}) {
    WString found;
    EXPECT_EQ(1, DialogBoxParamW(module, name, nullptr, readTemplate, reinterpret_cast<LPARAM>(&found)));
    EXPECT_EQ(WString(TEXT("From resources+1019")), found);
  }
  WString found;
  EXPECT_EQ(1, DialogBoxParamW(module, MAKEINTRESOURCEW(600), nullptr, readTemplate, reinterpret_cast<LPARAM>(&found)));
  EXPECT_EQ(WString(TEXT("Icon+icon+sized")), found);
}

}  // namespace
