// Resources as the loader hands them out: a library's icon groups and their
// images, raw resource data, dialog templates by number and by name, and
// the answers for what a module does not hold. The module is the item's own
// library, loaded as a program loads any library; its resources are compiled
// from the same script for both platforms.
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

}  // namespace
