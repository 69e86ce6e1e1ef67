// The size an icon is loaded at: the image of the group nearest the size
// asked for, scaled to it when the group has none of that size, and
// LoadIconW's standard size. Each icon is drawn at its own size (DrawIconEx
// with 0 x 0) on a white window and measured by its ink.
#include "drawing.h"

namespace {

class IconSize : public DrawingTest {
 protected:
  LoadedLibrary loaded{TEXT("confres.dll")};
  const HMODULE library = loaded.get();
  void SetUp() override {
    DrawingTest::SetUp();
    ASSERT_NE(nullptr, library) << "error " << loaded.error();
  }
  // The ink of an icon drawn at (10, 10) at its own size.
  RECT drawn(HICON icon) {
    clear();
    EXPECT_TRUE(DrawIconEx(dc, 10, 10, icon, 0, 0, 0, nullptr, DI_NORMAL));
    RECT b = inkBounds(RECT{0, 0, 120, 120});
    return RECT{b.left - 10, b.top - 10, b.right - 10, b.bottom - 10};
  }
};

// icon_101 holds 16 and 48 pixel images, icon_111 24 and 32; both are discs,
// so their ink reaches every side of the square. 0 x 0 asks for the group's
// first image as stored.
TEST_F(IconSize, EachLoadComesAtTheSizeAskedFor) {
  static const struct {
    int id, cx, cy, size;
  } cases[] = {{101, 16, 16, 16}, {101, 48, 48, 48}, {111, 24, 24, 24}, {111, 32, 32, 32},
               {111, 20, 20, 20}, {101, 40, 40, 40}, {101, 0, 0, 16},   {111, 0, 0, 24}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.id << " at " << c.cx << "x" << c.cy);
    HICON icon = static_cast<HICON>(LoadImageW(library, MAKEINTRESOURCEW(c.id), IMAGE_ICON, c.cx, c.cy, 0));
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(drawn(icon), (RECT{0, 0, c.size, c.size}));
    EXPECT_TRUE(DestroyIcon(icon));
  }
  HICON standard = LoadIconW(library, MAKEINTRESOURCEW(101));
  ASSERT_NE(nullptr, standard);
  EXPECT_EQ(drawn(standard), (RECT{0, 0, 32, 32})) << "LoadIconW: the standard 32 x 32";
  EXPECT_TRUE(DestroyIcon(standard));
}

}  // namespace
