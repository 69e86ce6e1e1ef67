// Drawing on a window's DC as Win32 documents it, read back with GetPixel:
// lines and the pen, rectangles and ellipses with the brush, FillRect with
// system colours, a window DC's origin and clip, icons with alpha, and the
// size an icon is loaded at.

#include "drawing.h"

namespace {

using GdiDrawing = DrawingTest;

TEST_F(GdiDrawing, PolylineDrawsEverySegmentButNotTheLastPoint) {
  const POINT rule[] = {{0, 23}, {240, 23}};
  EXPECT_TRUE(Polyline(dc, rule, 2));
  for (int x = 0; x < 240; ++x) ASSERT_EQ(px(x, 23), kBlack) << x;
  EXPECT_EQ(ink(RECT{0, 18, 240, 28}), 240) << "one pixel thick";

  clear();
  const POINT path[] = {{10, 10}, {20, 10}, {20, 15}, {10, 20}};
  EXPECT_TRUE(Polyline(dc, path, 4));
  EXPECT_EQ(px(10, 10), kBlack);
  EXPECT_EQ(px(20, 10), kBlack) << "the inner vertex starts the next segment";
  EXPECT_EQ(px(20, 14), kBlack);
  EXPECT_EQ(px(10, 20), kWhite) << "the final point is left out";
  // 10 + 5 pixels along the axes, then a diagonal of 10 steps in x with one
  // pixel in each column from 20 down to 11.
  EXPECT_EQ(ink(RECT{0, 0, 40, 40}), 25);
  for (int x = 11; x <= 20; ++x) EXPECT_EQ(ink(RECT{x, 15, x + 1, 21}), 1) << x;
  EXPECT_EQ(inkBounds(RECT{0, 16, 40, 40}).left, 11) << "the diagonal reaches the column before its end";

  EXPECT_FALSE(Polyline(dc, path, 1)) << "fewer than two points";
  EXPECT_FALSE(Polyline(nullptr, path, 2));
}

TEST_F(GdiDrawing, PolylineUsesTheSelectedPen) {
  HPEN red = CreatePen(PS_SOLID, 3, kRed);
  HGDIOBJ old = SelectObject(dc, red);
  const POINT line[] = {{10, 50}, {50, 50}};
  Polyline(dc, line, 2);
  for (int y : {49, 50, 51}) EXPECT_EQ(px(30, y), kRed) << y;
  EXPECT_EQ(px(30, 47), kWhite);
  EXPECT_EQ(px(30, 53), kWhite);
  const RECT around{0, 40, 240, 60};
  EXPECT_EQ(ink(around, kWhite) + ink(around, kRed), 240 * 20) << "every pixel the pen drew is its colour";
  SelectObject(dc, GetStockObject(NULL_PEN));
  const POINT other[] = {{10, 100}, {50, 100}};
  EXPECT_TRUE(Polyline(dc, other, 2));
  EXPECT_EQ(ink(RECT{0, 90, 240, 110}), 0) << "the null pen draws nothing";
  SelectObject(dc, old);
  EXPECT_TRUE(DeleteObject(red));
}

TEST_F(GdiDrawing, RectangleAndEllipseOutlineWithThePenAndFillWithTheBrush) {
  HBRUSH green = CreateSolidBrush(kGreen);
  HGDIOBJ oldBrush = SelectObject(dc, green);
  EXPECT_TRUE(Rectangle(dc, 10, 10, 20, 20));
  EXPECT_EQ(px(10, 10), kBlack);
  EXPECT_EQ(px(19, 19), kBlack);
  EXPECT_EQ(px(15, 10), kBlack);
  EXPECT_EQ(px(15, 15), kGreen);
  EXPECT_EQ(px(20, 15), kWhite) << "the right edge is outside";
  EXPECT_EQ(px(15, 20), kWhite) << "so is the bottom";
  EXPECT_EQ(ink(RECT{0, 0, 30, 30}), 100);
  EXPECT_EQ(30 * 30 - ink(RECT{0, 0, 30, 30}, kGreen), 64) << "8 by 8 filled inside the outline";

  // Without a pen the fill is one pixel smaller on the right and bottom.
  SelectObject(dc, GetStockObject(NULL_PEN));
  Rectangle(dc, 30, 10, 40, 20);
  EXPECT_EQ(inkBounds(RECT{25, 0, 60, 40}), (RECT{30, 10, 39, 19}));
  EXPECT_EQ(px(30, 10), kGreen);

  SelectObject(dc, GetStockObject(BLACK_PEN));
  EXPECT_TRUE(Ellipse(dc, 100, 100, 141, 121));
  EXPECT_EQ(inkBounds(RECT{90, 90, 160, 130}), (RECT{100, 100, 141, 121})) << "it touches every side of its box";
  EXPECT_EQ(px(120, 110), kGreen) << "filled inside";
  EXPECT_EQ(px(100, 100), kWhite) << "the corners of the box stay clear";
  EXPECT_EQ(px(120, 100), kBlack) << "outlined at the top";
  // Symmetric left to right.
  for (int y = 100; y < 121; ++y)
    for (int x = 100; x < 120; ++x) ASSERT_EQ(px(x, y), px(240 - x, y)) << x << "," << y;

  SelectObject(dc, oldBrush);
  EXPECT_TRUE(DeleteObject(green));
}

TEST_F(GdiDrawing, FillRectTakesBrushesAndSystemColours) {
  RECT r{0, 0, 10, 10};
  EXPECT_TRUE(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
  EXPECT_EQ(ink(RECT{0, 0, 20, 20}), 100);
  EXPECT_EQ(px(9, 9), kBlack);
  EXPECT_EQ(px(10, 9), kWhite) << "the right edge is outside";
  r = RECT{0, 0, 5, 5};
  // A system colour's index plus one stands for its brush.
  EXPECT_TRUE(FillRect(dc, &r, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1)));
  EXPECT_EQ(px(0, 0), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(px(4, 4), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), kWhite);
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), kBlack);
#ifndef _WIN32
  // Windows CE also takes an index with SYS_COLOR_INDEX_FLAG; desktop Win32 has no such flag.
  EXPECT_EQ(GetSysColor(COLOR_WINDOW | 0x40000000), kWhite);
#endif

  r = RECT{50, 50, 60, 60};
  EXPECT_TRUE(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))));
  EXPECT_EQ(ink(r), 0);
}

// A strip at (50, 100) of the window with a child covering its middle: the
// strip's DC has its origin at the strip's corner and draws only on the two
// ends the child leaves.
TEST_F(GdiDrawing, DcOriginAndClipRectangles) {
  // The strip's class paints no background, so what the window drew where
  // the strip lies stays there: it shows where the strip's DC puts (1, 2).
  const WNDCLASSW bare = windowClass(TEXT("CrestuneConfBare"), DefWindowProcW);
  ASSERT_NE(RegisterClassW(&bare), 0);
  RECT under{50, 100, 110, 120};
  FillRect(dc, &under, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  SetPixel(dc, 51, 102, kRed);
  HWND strip = CreateWindowExW(0, bare.lpszClassName, TEXT(""), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 50, 100, 60,
                               20, window, nullptr, programInstance(), nullptr);
  ASSERT_NE(strip, nullptr);
  platform.pump();
  HDC s = GetDC(strip);
  EXPECT_EQ(GetPixel(s, 1, 2), kRed);
  EXPECT_EQ(GetPixel(s, 0, 0), kBlack);
  ReleaseDC(strip, s);
  HWND middle = child(strip, RECT{20, 0, 40, 20});
  ASSERT_NE(middle, nullptr);
  platform.pump();
  s = GetDC(strip);
  HDC m = GetDC(middle);

  RECT all{-50, -100, 190, 220};
  FillRect(s, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  const RECT leftEnd{0, 0, 20, 20}, rightEnd{40, 0, 60, 20};
  EXPECT_EQ(inkOn(s, leftEnd, kBlack) + inkOn(s, rightEnd, kBlack), 0) << "both ends filled";
  EXPECT_EQ(inkOn(m, leftEnd), 0) << "the child keeps its own pixels";
  // Nothing outside the strip: the window's own pixels around it stay white.
  EXPECT_EQ(ink(RECT{40, 90, 120, 130}), ink(RECT{50, 100, 110, 120}));
  EXPECT_EQ(SetPixel(s, 1, 2, kRed), kRed);
  EXPECT_EQ(GetPixel(s, 1, 2), kRed);
  SetPixel(s, 25, 5, kRed);
  EXPECT_EQ(GetPixel(m, 5, 5), kWhite) << "SetPixel does not reach the child";

  // Text through the clip: only on the strip's two ends.
  FillRect(s, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(s, TRANSPARENT);
  RECT rc{0, 0, 200, 20};
  DrawTextW(s, TEXT("MMMMMMMMMMMMMMMM"), -1, &rc, DT_SINGLELINE);
  EXPECT_GT(inkOn(s, leftEnd), 0);
  EXPECT_GT(inkOn(s, rightEnd), 0);
  EXPECT_EQ(inkOn(m, leftEnd), 0);
  EXPECT_EQ(ink(RECT{110, 90, 240, 130}), 0) << "the text stops at the strip's edge";

  ReleaseDC(middle, m);
  ReleaseDC(strip, s);
  DestroyWindow(strip);
  UnregisterClassW(bare.lpszClassName, programInstance());
}

// A DC taken before a child window appears over its window keeps off the
// child once it is there, and reaches the place again when the child goes;
// the child's pixels, read or set through a DC of its parent, are CLR_INVALID.
TEST_F(GdiDrawing, AParentsDcsKeepOffAChildThatComesAndGoes) {
  HDC held = GetDC(window);
  HWND covering = child(window, RECT{10, 10, 30, 30});
  ASSERT_NE(covering, nullptr);
  platform.pump();
  HDC w = GetDC(window), c = GetDC(covering);
  const COLORREF set = SetPixel(w, 15, 15, kRed), get = GetPixel(w, 15, 15);
  EXPECT_EQ(GetPixel(c, 5, 5), kWhite) << "the child keeps its own pixels";
  EXPECT_EQ(GetPixel(w, 9, 9), kWhite) << "inside the clip";
  ReleaseDC(window, w);
  RECT square{0, 0, 40, 40};
  FillRect(held, &square, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(px(5, 5), kBlack);
  EXPECT_EQ(GetPixel(c, 5, 5), kWhite) << "the child covers its parent's held DC";
  ReleaseDC(covering, c);
  DestroyWindow(covering);
  platform.pump();
  FillRect(held, &square, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(px(15, 15), kBlack) << "the place is the parent's again";
  ReleaseDC(window, held);
  if (underWine() && get != CLR_INVALID)
    GTEST_SKIP() << "Wine's GetPixel and SetPixel answer a pixel outside the clip as if it were inside";
  EXPECT_EQ(set, CLR_INVALID);
  EXPECT_EQ(get, CLR_INVALID);
}

// Icons from a library loaded as a program loads one.
class IconTest : public DrawingTest {
 protected:
  explicit IconTest(LPCWSTR name) : loaded(name) {}
  LoadedLibrary loaded;
  const HMODULE library = loaded.get();

  void SetUp() override {
    DrawingTest::SetUp();
    ASSERT_NE(library, nullptr) << "error " << loaded.error() << "; on the host, CRESTUNE_LIB_DIR names its folder";
  }
};

// The item's logo from crestitem.dll: a disc, so its corners are
// transparent, its inside opaque and its rim partly transparent.
class GdiIcon : public IconTest {
 protected:
  GdiIcon() : IconTest(TEXT("crestitem.dll")) {}
  HICON logo = nullptr;

  void SetUp() override {
    IconTest::SetUp();
    if (HasFatalFailure()) return;
    logo = static_cast<HICON>(
        LoadImageW(reinterpret_cast<HINSTANCE>(library), MAKEINTRESOURCEW(101), IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(logo, nullptr);
  }
  void TearDown() override {
    if (logo) DestroyIcon(logo);
    IconTest::TearDown();
  }
};

TEST_F(GdiIcon, DrawIconExBlendsAlphaAndScales) {
  // The same icon over black and over white, at its own size (0 asks for it).
  RECT black{0, 0, 30, 40};
  FillRect(dc, &black, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_TRUE(DrawIconEx(dc, 10, 10, logo, 0, 0, 0, nullptr, DI_NORMAL));
  EXPECT_TRUE(DrawIconEx(dc, 40, 10, logo, 0, 0, 0, nullptr, DI_NORMAL));
  int opaque = 0, transparent = 0, blended = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const COLORREF b = px(10 + x, 10 + y), w = px(40 + x, 10 + y);
      if (b == w) {
        ++opaque;
      } else if (b == kBlack && w == kWhite) {
        ++transparent;
      } else {
        ++blended;
        // Over white each channel is lighter by the same 255 x (1 - alpha).
        const int dr = GetRValue(w) - GetRValue(b), dg = GetGValue(w) - GetGValue(b), db = GetBValue(w) - GetBValue(b);
        EXPECT_GT(dr, 0) << x << "," << y;
        EXPECT_NEAR(dg, dr, 2) << x << "," << y;
        EXPECT_NEAR(db, dr, 2) << x << "," << y;
      }
    }
  EXPECT_EQ(px(10, 10), kBlack) << "a corner is transparent";
  EXPECT_EQ(px(40, 10), kWhite);
  EXPECT_GT(opaque, 16 * 16 / 2);
  EXPECT_GT(transparent, 8);
  EXPECT_GT(blended, 8);
  EXPECT_EQ(ink(RECT{26, 0, 30, 40}, kBlack) + ink(RECT{10, 26, 26, 40}, kBlack), 0) << "nothing past its own size";
  const int own = ink(RECT{40, 10, 56, 26});

  // Scaled to 32 by 32: inside that square, four times the ink.
  clear();
  EXPECT_TRUE(DrawIconEx(dc, 100, 100, logo, 32, 32, 0, nullptr, DI_NORMAL));
  const RECT scaled = inkBounds(RECT{90, 90, 150, 150});
  EXPECT_GE(scaled.left, 100);
  EXPECT_GE(scaled.top, 100);
  EXPECT_LE(scaled.right, 132);
  EXPECT_LE(scaled.bottom, 132);
  EXPECT_NEAR(ink(RECT{100, 100, 132, 132}), 4 * own, own / 4);

  // A flicker-free brush fills the icon's square behind it.
  clear();
  EXPECT_TRUE(
      DrawIconEx(dc, 10, 60, logo, 16, 16, 0, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)), DI_NORMAL));
  EXPECT_EQ(px(10, 60), kBlack);
  EXPECT_EQ(px(25, 75), kBlack);
  EXPECT_EQ(inkBounds(RECT{0, 50, 40, 90}), (RECT{10, 60, 26, 76}));

  // DrawIcon draws at the system's icon size, 32 pixels.
  clear();
  EXPECT_TRUE(DrawIcon(dc, 100, 200, logo));
  const RECT system = inkBounds(RECT{90, 190, 150, 250});
  EXPECT_GT(system.right - system.left, 24);
  EXPECT_LE(system.right, 132);
}

TEST_F(GdiIcon, DrawingRefusesWhatIsNoIconNoBrushOrNoDc) {
  EXPECT_FALSE(DrawIconEx(dc, 0, 0, reinterpret_cast<HICON>(static_cast<UINT_PTR>(0x999)), 16, 16, 0, nullptr,
                          DI_NORMAL));
  const BOOL noDc = DrawIconEx(nullptr, 0, 0, logo, 16, 16, 0, nullptr, DI_NORMAL);
  EXPECT_TRUE(DestroyIcon(logo));
  EXPECT_FALSE(DrawIconEx(dc, 0, 0, logo, 16, 16, 0, nullptr, DI_NORMAL)) << "a destroyed icon";
  logo = nullptr;
  RECT r{0, 0, 10, 10};
  const BOOL noBrush = FillRect(dc, &r, reinterpret_cast<HBRUSH>(static_cast<UINT_PTR>(0x7777)));
  EXPECT_EQ(ink(r), 0);
  if (underWine() && (noDc || noBrush))
    GTEST_SKIP() << "Wine's DrawIconEx answers TRUE without a DC, and FillRect for a handle that is no brush";
  EXPECT_FALSE(noDc);
  EXPECT_FALSE(noBrush);
}

// The size an icon is loaded at: the image of the group nearest the size
// asked for, scaled to it when the group has none of that size, and
// LoadIconW's standard size. Each icon is drawn at its own size (DrawIconEx
// with 0 x 0) on a white window and measured by its ink.
class IconSize : public IconTest {
 protected:
  IconSize() : IconTest(TEXT("confres.dll")) {}
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
