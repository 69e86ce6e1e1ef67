// Libraries and their resources as the loader hands them out, each library
// loaded as a program loads any. The item's own (crestitem.dll, its resources
// compiled from the same script for both platforms): icon groups and their
// images, names written as "#" and a number, dialog templates by number and
// by name, and the answers for what a module does not hold. One of the tests'
// own (library/confres.rc, .def): its exports by name and by ordinal, a
// library that is not there, raw resources by number, by name and of a type
// of its own, raw data that is no icon and an icon by name, and dialog templates
// by name with an icon of the library's in them.
#include "fixture.h"

namespace {

#pragma pack(push, 2)
struct GroupHeader {
  WORD reserved, type, count;
};
struct GroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)
// The start of an icon image stored as a DIB (BITMAPINFOHEADER).
struct DibStart {
  DWORD size;
  LONG width, height;
};

const WORD kFaces[] = {101, 103, 104, 106, 107, 108, 109, 111, 112, 114, 115};

class Resources : public LibraryTest {
 protected:
  Resources() : LibraryTest(TEXT("crestitem.dll")) {}
};

TEST_F(Resources, EachIconGroupListsImagesTheModuleHolds) {
  for (WORD id : kFaces) {
    SCOPED_TRACE(id);
    DWORD size = 0;
    const BYTE* bytes = data(MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14), &size);  // RT_GROUP_ICON
    ASSERT_NE(nullptr, bytes);
    GroupHeader header;
    std::memcpy(&header, bytes, sizeof header);
    EXPECT_EQ(0, header.reserved);
    EXPECT_EQ(1, header.type);  // icons, not cursors
    ASSERT_GE(header.count, 1);
    // The directory is exactly its header and its entries.
    EXPECT_EQ(sizeof(GroupHeader) + header.count * sizeof(GroupEntry), size);
    for (WORD i = 0; i < header.count; ++i) {
      GroupEntry e;
      std::memcpy(&e, bytes + sizeof header + i * sizeof e, sizeof e);
      DWORD imageSize = 0;
      const BYTE* image = data(MAKEINTRESOURCEW(e.id), MAKEINTRESOURCEW(3), &imageSize);  // RT_ICON
      ASSERT_NE(nullptr, image) << "image " << e.id;
      EXPECT_EQ(e.bytes, imageSize);
      // A DIB image holds its colour and mask rows: twice the icon's height.
      DibStart info;
      std::memcpy(&info, image, sizeof info);
      if (info.size == 40) {
        EXPECT_EQ(e.width ? e.width : 256, info.width);
        EXPECT_EQ(2 * (e.height ? e.height : 256), info.height);
      }
    }
  }
}

TEST_F(Resources, NamesWrittenAsHashAndNumberFindTheNumberedResource) {
  HRSRC byNumber = FindResourceW(module, MAKEINTRESOURCEW(111), MAKEINTRESOURCEW(14));
  ASSERT_NE(nullptr, byNumber);
  EXPECT_EQ(byNumber, FindResourceW(module, TEXT("#111"), MAKEINTRESOURCEW(14)));
  EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(500), MAKEINTRESOURCEW(5)),  // RT_DIALOG
            FindResourceW(module, TEXT("#500"), TEXT("#5")));
}

TEST_F(Resources, WhatTheModuleDoesNotHoldIsNamedInTheError) {
  expectMissing({
      {MAKEINTRESOURCEW(110), MAKEINTRESOURCEW(14), ERROR_RESOURCE_NAME_NOT_FOUND},
      {TEXT("PLAY"), MAKEINTRESOURCEW(14), ERROR_RESOURCE_NAME_NOT_FOUND},
      {MAKEINTRESOURCEW(111), MAKEINTRESOURCEW(10), ERROR_RESOURCE_TYPE_NOT_FOUND},  // RT_RCDATA
  });
  SetLastError(0);
  EXPECT_EQ(nullptr, LoadImageW(module, MAKEINTRESOURCEW(110), IMAGE_ICON, 24, 24, 0));
  EXPECT_NE(0u, GetLastError());
}

TEST_F(Resources, EachLoadIsAnIconOfItsOwnUntilDestroyed) {
  HANDLE first = LoadImageW(module, MAKEINTRESOURCEW(111), IMAGE_ICON, 24, 24, 0);
  HANDLE second = LoadImageW(module, MAKEINTRESOURCEW(111), IMAGE_ICON, 24, 24, 0);
  HANDLE large = LoadImageW(module, MAKEINTRESOURCEW(111), IMAGE_ICON, 32, 32, 0);
  ASSERT_TRUE(first && second && large);
  EXPECT_NE(first, second);
  EXPECT_NE(first, large);
  EXPECT_TRUE(DestroyIcon(static_cast<HICON>(first)));
  EXPECT_TRUE(DestroyIcon(static_cast<HICON>(large)));
  // The other load of the same image is untouched by the first one's end.
  HDC dc = GetDC(nullptr);
  EXPECT_TRUE(DrawIconEx(dc, 0, 0, static_cast<HICON>(second), 24, 24, 0, nullptr, DI_NORMAL));
  ReleaseDC(nullptr, dc);
  EXPECT_TRUE(DestroyIcon(static_cast<HICON>(second)));
}

INT_PTR CALLBACK endAtOnce(HWND dialog, UINT message, WPARAM, LPARAM param) {
  if (message != WM_INITDIALOG) return FALSE;
  // The template's controls exist by now; the caller gets back how many
  // of the ones asked for were there.
  int found = 0;
  for (int id : {1006, 1009, 1014, 1017, 1018}) found += GetDlgItem(dialog, id) != nullptr;
  EndDialog(dialog, param * 100 + found);
  return TRUE;
}

TEST_F(Resources, DialogTemplatesComeByNumberOrByName) {
  EXPECT_EQ(705, DialogBoxParamW(module, MAKEINTRESOURCEW(500), nullptr, endAtOnce, 7));
  EXPECT_EQ(805, DialogBoxParamW(module, TEXT("#500"), nullptr, endAtOnce, 8));

  DWORD size = 0;
  const BYTE* bytes = data(MAKEINTRESOURCEW(500), MAKEINTRESOURCEW(5), &size);
  ASSERT_NE(nullptr, bytes);
  DLGTEMPLATE header;
  std::memcpy(&header, bytes, sizeof header);
  EXPECT_GE(header.cdit, 5);
  EXPECT_EQ(167, header.cx);  // dialog units, as the script gives them
  EXPECT_EQ(169, header.cy);

  // A template the module does not hold: -1, and nothing was made.
  SetLastError(0);
  EXPECT_EQ(-1, DialogBoxParamW(module, MAKEINTRESOURCEW(501), nullptr, endAtOnce, 9));
  EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND), GetLastError());
  // No module: the program's own, which holds no such template.
  EXPECT_EQ(-1, DialogBoxParamW(nullptr, MAKEINTRESOURCEW(500), nullptr, endAtOnce, 11));
  // A parent that is no window: 0, the dialog never made.
  EXPECT_EQ(0, DialogBoxParamW(module, MAKEINTRESOURCEW(500), reinterpret_cast<HWND>(0x1234), endAtOnce, 10));
}

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

TEST_F(PlatformTest, ALibraryThatIsNotThereIsModNotFoundAndLoadsCount) {
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

// An icon that is not there is in Resources.WhatTheModuleDoesNotHoldIsNamedInTheError.
TEST_F(Library, RawDataIsNoIconAndIconsLoadByName) {
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
