// What only the stand-in's framebuffer shows of drawing: how it holds a
// colour, where it ends, text smoothed in grey levels, and screenshots
// (icons blended and scaled exactly are gdi_blit_test.cpp's, against its
// model). What Win32 documents of drawing is in
// tests/conformance/gdi_draw_test.cpp and gdi_text_test.cpp.

#include "gdi_fixture.h"
#include "screenshot.h"
#include "temp_folder.h"

TEST_F(GdiTest, TheFramebufferHoldsWhatGetPixelReadsUpToTheScreenEdge) {
  // 0x00RRGGBB in the framebuffer for COLORREF's 0x00BBGGRR.
  RECT r{0, 0, 5, 5};
  EXPECT_TRUE(FillRect(dc, &r, reinterpret_cast<HBRUSH>(COLOR_HIGHLIGHT + 1)));
  const COLORREF hl = GetSysColor(COLOR_HIGHLIGHT);
  EXPECT_EQ(px(0, 0), (GetRValue(hl) << 16u) | (GetGValue(hl) << 8u) | GetBValue(hl));
  EXPECT_EQ(SetPixel(dc, 7, 7, RGB(1, 2, 3)), RGB(1, 2, 3));
  EXPECT_EQ(px(7, 7), 0x00010203u);

  // A DC whose clip runs past the screen draws up to its edge and no further.
  HDC edge = dev.createScreenDc(POINT{230, 310}, {RECT{0, 0, 1000, 1000}});
  RECT big{0, 0, 100, 100};
  FillRect(edge, &big, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  EXPECT_EQ(ink(RECT{230, 310, 240, 320}), 100);
  EXPECT_EQ(GetPixel(edge, 10, 0), CLR_INVALID) << "past the right edge";
  dev.releaseScreenDc(edge);
}

TEST_F(GdiTest, TextEdgesAreGreyLevelsBetweenTheTextColourAndTheBackground) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 0, 0));
  HFONT large = tahomaFont(-24);  // past the sizes Tahoma draws from its own bitmaps
  HGDIOBJ old = SelectObject(dc, large);
  RECT rc{0, 0, 240, 40};
  DrawTextW(dc, u"Crestune", -1, &rc, DT_SINGLELINE);
  SelectObject(dc, old);
  DeleteObject(large);
  int blended = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 240; ++x) {
      const uint32_t p = px(x, y);
      if (p == kWhite || p == 0x00FF0000) continue;
      ASSERT_EQ(p >> 16, 0xFFu) << x << "," << y;
      ASSERT_EQ((p >> 8) & 0xFF, p & 0xFF) << "no colour fringes" << x << "," << y;
      ++blended;
    }
  EXPECT_GT(blended, 0);
}

TEST_F(GdiTest, ScreenshotOfATitleAndHeading) {
  // The Today item's title, the options heading with its rule and a mail
  // link as the product draws them, and a line in the system font.
  RECT item{0, 0, 240, 20};
  FillRect(dc, &item, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  SetBkMode(dc, TRANSPARENT);
  const struct {
    LONG weight;
    BYTE underline;
    COLORREF colour;
    RECT where;
    const char16_t* text;
  } lines[] = {
      {FW_NORMAL, 0, 0, RECT{30, 0, 240, 20}, u"Windows Media Player Crestune"},
      {600, 0, 0x009C0000, RECT{7, 40, 240, 63}, u"Settings"},
      {FW_NORMAL, 1, RGB(0, 0, 255), RECT{7, 72, 240, 92}, u"someone@example.com"},
  };
  for (const auto& line : lines) {
    HFONT font = tahomaFont(-11, line.weight, line.underline);
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, line.colour);
    RECT where = line.where;
    DrawTextW(dc, line.text, -1, &where, DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, old);
    DeleteObject(font);
  }
  const POINT rule[] = {{0, 63}, {240, 63}};
  Polyline(dc, rule, 2);
  SetTextColor(dc, 0);
  ExtTextOutW(dc, 7, 100, 0, nullptr, u"System font Ag", 14, nullptr);
  EXPECT_EQ(dev.accounting().live(wince::ObjectKind::GdiObject), 0);

  standin::TempDir folder;  // of its own, and left behind by no run
  const auto file = folder.path() / "screenshot.png";
  wince::writePng(dev.screen(), file, 2);
  EXPECT_EQ(standin::readFile(file).substr(1, 3), "PNG");
  EXPECT_GT(std::filesystem::file_size(file), 500u);
  EXPECT_FALSE(std::filesystem::exists(file.string() + ".part"));

  EXPECT_THROW(wince::writePng(dev.screen(), "/nonexistent-dir/x.png"), wince::DeviceError);
}
