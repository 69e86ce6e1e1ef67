// Pixels, lines, shapes, fills, icons, DC clipping and screenshots.
#include <fstream>

#include "screenshot.h"
#include "gdi_fixture.h"
#include "icon_image.h"

TEST_F(GdiTest, PolylineDrawsEverySegmentButNotTheLastPoint) {
  const POINT rule[] = {{0, 23}, {240, 23}};
  EXPECT_TRUE(Polyline(dc, rule, 2));
  for (int x = 0; x < 240; ++x) ASSERT_EQ(px(x, 23), 0u) << x;
  EXPECT_EQ(ink(), 240) << "one pixel thick";

  clearScreen();
  const POINT path[] = {{10, 10}, {20, 10}, {20, 15}, {10, 20}};
  Polyline(dc, path, 4);
  EXPECT_EQ(px(10, 10), 0u);
  EXPECT_EQ(px(19, 10), 0u);
  EXPECT_EQ(px(20, 10), 0u) << "the inner vertex starts the next segment";
  EXPECT_EQ(px(20, 14), 0u);
  EXPECT_EQ(px(10, 20), kWhite) << "the final point is left out";
  EXPECT_EQ(px(11, 20), 0u) << "the diagonal reaches the pixel before it";
  // A diagonal of 10 steps in x: exactly one pixel per column.
  EXPECT_EQ(ink(RECT{11, 15, 20, 21}), 9);

  EXPECT_FALSE(Polyline(dc, path, 1));
  EXPECT_FALSE(Polyline(nullptr, path, 2));
}

TEST_F(GdiTest, PolylineUsesTheSelectedPen) {
  HPEN red = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
  HGDIOBJ old = SelectObject(dc, red);
  const POINT line[] = {{10, 50}, {50, 50}};
  Polyline(dc, line, 2);
  EXPECT_EQ(px(30, 49), 0x00FF0000u);
  EXPECT_EQ(px(30, 50), 0x00FF0000u);
  EXPECT_EQ(px(30, 51), 0x00FF0000u);
  EXPECT_EQ(px(30, 53), kWhite);
  SelectObject(dc, GetStockObject(NULL_PEN));
  const POINT other[] = {{10, 100}, {50, 100}};
  EXPECT_TRUE(Polyline(dc, other, 2));
  EXPECT_EQ(ink(RECT{0, 90, 240, 110}), 0) << "the null pen draws nothing";
  SelectObject(dc, old);
  EXPECT_TRUE(DeleteObject(red));
}

TEST_F(GdiTest, RectangleAndEllipseOutlineWithThePenAndFillWithTheBrush) {
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  HGDIOBJ oldBrush = SelectObject(dc, green);
  Rectangle(dc, 10, 10, 20, 20);
  EXPECT_EQ(px(10, 10), 0u);
  EXPECT_EQ(px(19, 19), 0u);
  EXPECT_EQ(px(15, 10), 0u);
  EXPECT_EQ(px(15, 15), 0x0000FF00u);
  EXPECT_EQ(px(20, 15), kWhite) << "right edge is exclusive";
  EXPECT_EQ(px(15, 20), kWhite);
  EXPECT_EQ(ink(), 100);

  // Without a pen the fill is one pixel smaller on the right and bottom.
  SelectObject(dc, GetStockObject(NULL_PEN));
  Rectangle(dc, 30, 10, 40, 20);
  EXPECT_EQ(inkBounds(RECT{25, 0, 60, 40}).right, 39);
  EXPECT_EQ(px(30, 10), 0x0000FF00u);

  SelectObject(dc, GetStockObject(BLACK_PEN));
  Ellipse(dc, 100, 100, 141, 121);
  RECT b = inkBounds(RECT{90, 90, 160, 130});
  EXPECT_EQ(b.left, 100);
  EXPECT_EQ(b.right, 141);
  EXPECT_EQ(b.top, 100);
  EXPECT_EQ(b.bottom, 121);
  EXPECT_EQ(px(120, 110), 0x0000FF00u) << "filled inside";
  EXPECT_EQ(px(100, 100), kWhite) << "corners of the box stay clear";
  EXPECT_EQ(px(120, 100), 0u) << "outlined at the top";
  // Symmetric left to right.
  for (int y = 100; y < 121; ++y)
    for (int x = 100; x < 120; ++x) ASSERT_EQ(px(x, y), px(240 - x, y)) << x << "," << y;

  SelectObject(dc, oldBrush);
  EXPECT_TRUE(DeleteObject(green));
}

TEST_F(GdiTest, FillRectTakesBrushesAndSystemColours) {
  RECT r{0, 0, 10, 10};
  EXPECT_TRUE(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH))));
  EXPECT_EQ(ink(RECT{0, 0, 20, 20}), 100);
  r = RECT{0, 0, 5, 5};
  EXPECT_TRUE(FillRect(dc, &r, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1)));
  const COLORREF hl = GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_EQ(px(0, 0), (GetRValue(hl) << 16u) | (GetGValue(hl) << 8u) | GetBValue(hl));
  EXPECT_EQ(GetPixel(dc, 4, 4), hl);
  EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
  EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
  EXPECT_EQ(GetSysColor(COLOR_WINDOW | 0x40000000), RGB(255, 255, 255)) << "the device's flagged index";

  r = RECT{50, 50, 60, 60};
  EXPECT_TRUE(FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))));
  EXPECT_EQ(ink(r), 0);
  EXPECT_FALSE(FillRect(dc, &r, reinterpret_cast<HBRUSH>(0x7777)));
}

TEST_F(GdiTest, DcOriginAndClipRectangles) {
  // Logical (0,0) at screen (50,100); two separate clip rectangles.
  HDC clipped = dev.createScreenDc(POINT{50, 100}, {RECT{50, 100, 70, 120}, RECT{90, 100, 110, 120}});
  RECT all{-50, -100, 190, 220};
  FillRect(clipped, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(ink(), 2 * 400);
  EXPECT_EQ(ink(RECT{50, 100, 70, 120}), 400);
  EXPECT_EQ(ink(RECT{90, 100, 110, 120}), 400);

  EXPECT_EQ(SetPixel(clipped, 25, 5, RGB(255, 0, 0)), CLR_INVALID) << "between the rectangles";
  EXPECT_EQ(GetPixel(clipped, 25, 5), CLR_INVALID);
  EXPECT_EQ(SetPixel(clipped, 1, 2, RGB(255, 0, 0)), RGB(255, 0, 0));
  EXPECT_EQ(px(51, 102), 0x00FF0000u);
  EXPECT_EQ(GetPixel(clipped, 1, 2), RGB(255, 0, 0));

  // Text through the clip: never outside the rectangles.
  clearScreen();
  SetBkMode(clipped, TRANSPARENT);
  RECT rc{0, 0, 200, 20};
  DrawTextW(clipped, u"MMMMMMMMMMMMMMMM", -1, &rc, DT_SINGLELINE);
  EXPECT_EQ(ink(), ink(RECT{50, 100, 70, 120}) + ink(RECT{90, 100, 110, 120}));
  EXPECT_GT(ink(RECT{90, 100, 110, 120}), 0);

  // Drawing off the screen is cut at its edges.
  HDC edge = dev.createScreenDc(POINT{230, 310}, {RECT{0, 0, 1000, 1000}});
  RECT big{0, 0, 100, 100};
  FillRect(edge, &big, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(ink(RECT{230, 310, 240, 320}), 100);
  dev.releaseScreenDc(edge);
  dev.releaseScreenDc(clipped);
}

TEST_F(GdiTest, DrawIconExBlendsAlphaAndScales) {
  // 4x4: left half opaque red, right half transparent, one 50% blue pixel.
  wince::IconImage img;
  img.width = 4;
  img.height = 4;
  img.argb.assign(16, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 2; ++x) img.argb[y * 4 + x] = 0xFFFF0000;
  img.argb[3 * 4 + 3] = 0x800000FF;
  HICON icon = dev.createIcon(img);

  RECT bg{0, 0, 240, 40};
  FillRect(dc, &bg, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_TRUE(DrawIconEx(dc, 10, 10, icon, 4, 4, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(px(10, 10), 0x00FF0000u);
  EXPECT_EQ(px(11, 13), 0x00FF0000u);
  EXPECT_EQ(px(12, 10), 0u) << "transparent pixels leave the background";
  EXPECT_EQ(px(13, 13), 0x00000080u) << "half blue over black";

  // Scaled to 8x8, nearest neighbour: each source pixel becomes 2x2.
  EXPECT_TRUE(DrawIconEx(dc, 20, 10, icon, 8, 8, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(px(23, 17), 0x00FF0000u);
  EXPECT_EQ(px(24, 10), 0u);
  EXPECT_EQ(px(26, 16), 0x00000080u);
  EXPECT_EQ(px(28, 10), 0u) << "nothing past the requested width";

  // Size 0 draws at the image's own size; a flicker brush fills behind.
  EXPECT_TRUE(DrawIconEx(dc, 40, 10, icon, 0, 0, 0, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)), DI_NORMAL));
  EXPECT_EQ(px(42, 10), kWhite);
  EXPECT_EQ(px(44, 10), 0u);

  EXPECT_FALSE(DrawIconEx(dc, 0, 0, reinterpret_cast<HICON>(0x999), 16, 16, 0, nullptr, DI_NORMAL));
  EXPECT_FALSE(DrawIconEx(nullptr, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL));
  EXPECT_TRUE(DrawIcon(dc, 100, 0, icon));
  EXPECT_EQ(px(100 + 15, 31), 0x00FF0000u) << "DrawIcon uses the 32-pixel icon size";
  DestroyIcon(icon);
  EXPECT_FALSE(DrawIconEx(dc, 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL));
}

TEST_F(GdiTest, ScreenshotOfATitleAndHeading) {
  // The Today item title and the options heading as the product draws them.
  RECT item{0, 0, 240, 20};
  FillRect(dc, &item, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  LOGFONTW lf{};
  GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf);
  lf.lfHeight = -11;
  lf.lfWeight = 400;
  HFONT title = CreateFontIndirectW(&lf);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, title);
  RECT rc{30, 0, GetDeviceCaps(dc, HORZRES), 20};
  DrawTextW(dc, u"Windows Media Player Crestune", -1, &rc, DT_SINGLELINE | DT_VCENTER);
  SelectObject(dc, old);
  DeleteObject(title);

  HFONT heading = makeFont(-11, 600);
  old = SelectObject(dc, heading);
  SetTextColor(dc, 0x009C0000);
  RECT hr{7, 40, 240, 63};
  DrawTextW(dc, u"Settings", -1, &hr, DT_SINGLELINE | DT_VCENTER);
  SelectObject(dc, old);
  DeleteObject(heading);
  const POINT rule[] = {{0, 63}, {240, 63}};
  Polyline(dc, rule, 2);
  HFONT link = makeFont(-11, 0, 1);
  old = SelectObject(dc, link);
  SetTextColor(dc, RGB(0, 0, 255));
  ExtTextOutW(dc, 7, 80, 0, nullptr, u"someone@example.com", 19, nullptr);
  SelectObject(dc, old);
  DeleteObject(link);
  SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SetTextColor(dc, 0);
  ExtTextOutW(dc, 7, 100, 0, nullptr, u"System font Ag", 14, nullptr);
  EXPECT_EQ(dev.accounting().live(wince::ObjectKind::GdiObject), 0);

  const auto file = std::filesystem::temp_directory_path() / "crestune_gdi_screenshot.png";
  wince::writePng(dev.screen(), file, 2);
  std::ifstream in(file, std::ios::binary);
  char sig[8] = {};
  in.read(sig, 8);
  EXPECT_EQ(std::string(sig + 1, 3), "PNG");
  EXPECT_GT(std::filesystem::file_size(file), 500u);
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".part"));

  EXPECT_THROW(wince::writePng(dev.screen(), "/nonexistent-dir/x.png"), wince::DeviceError);
}
