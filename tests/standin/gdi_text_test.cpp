// Text: placement, clipping, colours, background modes and font sizes.
#include "gdi_fixture.h"

namespace {
const char16_t kTitle[] = u"Windows Media Player Crestune";
int len(const char16_t* s) { return static_cast<int>(std::u16string(s).size()); }
}  // namespace

TEST_F(GdiTest, DrawTextStaysInsideItsRectangleUnlessNoClip) {
  SetBkMode(dc, TRANSPARENT);
  RECT rc{10, 10, 60, 30};
  DrawTextW(dc, kTitle, -1, &rc, DT_SINGLELINE | DT_VCENTER);
  EXPECT_GT(ink(rc), 20);
  EXPECT_EQ(ink(), ink(rc)) << "nothing outside the rectangle";

  RECT free{10, 100, 60, 120};
  DrawTextW(dc, kTitle, -1, &free, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(ink(RECT{60, 95, 240, 130}), 20) << "DT_NOCLIP runs past the right edge";
  EXPECT_EQ(rc.right, 60) << "the rectangle is not changed without DT_CALCRECT";
}

TEST_F(GdiTest, VCenterCentresTheTextCell) {
  SetBkMode(dc, TRANSPARENT);
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(dc, &tm));
  for (int h : {23, 36, 100}) {
    clearScreen();
    RECT rc{0, 0, 240, h};
    int r = DrawTextW(dc, u"Hxg", -1, &rc, DT_SINGLELINE | DT_VCENTER);
    const int top = (h - tm.tmHeight) / 2;
    EXPECT_EQ(r, top + tm.tmHeight) << "offset from the top to the bottom of the text";
    RECT b = inkBounds();
    EXPECT_GE(b.top, top) << h;
    EXPECT_LE(b.bottom, top + tm.tmHeight) << h;
    // The ink is roughly centred: its midline within a few pixels of the
    // rectangle's.
    EXPECT_NEAR((b.top + b.bottom) / 2.0, h / 2.0, tm.tmHeight / 3.0) << h;
    EXPECT_EQ(b.left >= 0 && b.left <= 2, true) << "left aligned by default";
  }
  // Without DT_VCENTER the text sits at the top and the result is its height.
  clearScreen();
  RECT rc{0, 0, 240, 100};
  EXPECT_EQ(DrawTextW(dc, u"Hxg", -1, &rc, DT_SINGLELINE), tm.tmHeight);
  EXPECT_LE(inkBounds().bottom, tm.tmHeight);
  clearScreen();
  EXPECT_EQ(DrawTextW(dc, u"Hxg", -1, &rc, DT_SINGLELINE | DT_BOTTOM), 100);
  EXPECT_GE(inkBounds().top, 100 - tm.tmHeight);
}

TEST_F(GdiTest, HorizontalAlignmentAndCalcRect) {
  SetBkMode(dc, TRANSPARENT);
  SIZE ext{};
  ASSERT_TRUE(GetTextExtentPoint32W(dc, u"Play", 4, &ext));
  EXPECT_GT(ext.cx, 10);

  RECT calc{20, 30, 200, 300};
  const int h = DrawTextW(dc, u"Play", 4, &calc, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(h, ext.cy);
  EXPECT_EQ(calc.right, 20 + ext.cx);
  EXPECT_EQ(calc.bottom, 30 + ext.cy);
  EXPECT_EQ(ink(), 0) << "DT_CALCRECT draws nothing";

  RECT rc{0, 0, 240, 20};
  DrawTextW(dc, u"Play", -1, &rc, DT_SINGLELINE | DT_RIGHT);
  RECT right = inkBounds();
  EXPECT_GE(right.left, 240 - ext.cx - 1);
  EXPECT_GE(right.right, 236);
  clearScreen();
  DrawTextW(dc, u"Play", -1, &rc, DT_SINGLELINE | DT_CENTER);
  RECT centre = inkBounds();
  EXPECT_NEAR((centre.left + centre.right) / 2.0, 120, 3);

  // A count stops the text early; -1 reads to the terminator.
  clearScreen();
  RECT a{0, 0, 240, 20}, b{0, 40, 240, 60};
  DrawTextW(dc, u"Play all", 4, &a, DT_SINGLELINE);
  DrawTextW(dc, u"Play", -1, &b, DT_SINGLELINE);
  EXPECT_EQ(inkBounds(RECT{0, 0, 240, 20}).right, inkBounds(RECT{0, 40, 240, 60}).right);
}

TEST_F(GdiTest, MultiLineAndWordBreak) {
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  RECT rc{0, 0, 240, 200};
  EXPECT_EQ(DrawTextW(dc, u"one\r\ntwo\nthree", -1, &rc, DT_CALCRECT), 3 * tm.tmHeight);
  RECT narrow{0, 0, 60, 200};
  const int wrapped = DrawTextW(dc, u"alpha beta gamma delta", -1, &narrow, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_GE(wrapped, 2 * tm.tmHeight);
  EXPECT_LE(narrow.right, 60);
  // Mnemonic prefixes: "&&" shows one ampersand, "&x" none.
  SIZE one{}, amp{};
  GetTextExtentPoint32W(dc, u"A&B", 3, &one);
  RECT pr{0, 0, 240, 40};
  DrawTextW(dc, u"A&&B", -1, &pr, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(pr.right, one.cx);
  pr = RECT{0, 0, 240, 40};
  DrawTextW(dc, u"A&&B", -1, &pr, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
  GetTextExtentPoint32W(dc, u"A&&B", 4, &amp);
  EXPECT_EQ(pr.right, amp.cx);

  // Drawn: "&P" underlines the P; "&&" is a plain ampersand.
  SetBkMode(dc, TRANSPARENT);
  RECT r1{0, 0, 240, 20}, r2{0, 40, 240, 60}, r3{0, 80, 240, 100}, r4{0, 120, 240, 140};
  DrawTextW(dc, u"&Play", -1, &r1, DT_SINGLELINE);
  DrawTextW(dc, u"Play", -1, &r2, DT_SINGLELINE);
  DrawTextW(dc, u"A&&B", -1, &r3, DT_SINGLELINE);
  DrawTextW(dc, u"A&B", -1, &r4, DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_GT(ink(RECT{0, 0, 240, 20}), ink(RECT{0, 40, 240, 60}));
  EXPECT_EQ(inkBounds(RECT{0, 0, 240, 20}).right, inkBounds(RECT{0, 40, 240, 60}).right);
  EXPECT_EQ(ink(RECT{0, 80, 240, 100}), ink(RECT{0, 120, 240, 140}));
}

TEST_F(GdiTest, TextPixelsTakeTheTextColour) {
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 0, 0));
  RECT rc{0, 0, 240, 40};
  DrawTextW(dc, u"HHHH", -1, &rc, DT_SINGLELINE);
  int solid = 0, blended = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 240; ++x) {
      const uint32_t p = px(x, y);
      if (p == kWhite) continue;
      // Anti-aliased edges lie between the white background and red.
      ASSERT_EQ(p >> 16, 0xFFu) << x << "," << y;
      ASSERT_EQ((p >> 8) & 0xFF, p & 0xFF) << x << "," << y;
      (p == 0x00FF0000 ? solid : blended)++;
    }
  EXPECT_GT(solid, 20) << "the stems of H are fully covered";
}

TEST_F(GdiTest, OpaqueFillsTheCellTransparentKeepsTheBackground) {
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  RECT all{0, 0, 240, 100};
  FillRect(dc, &all, blue);
  SIZE ext{};
  GetTextExtentPoint32W(dc, u"ok", 2, &ext);

  SetBkColor(dc, RGB(0, 255, 0));
  ExtTextOutW(dc, 10, 10, 0, nullptr, u"ok", 2, nullptr);  // OPAQUE by default
  EXPECT_EQ(ink(RECT{10, 10, 10 + ext.cx, 10 + ext.cy}, 0x000000FF), ext.cx * ext.cy) << "no blue left in the cell";
  EXPECT_EQ(px(10, 10), 0x0000FF00u);
  EXPECT_EQ(px(9, 10), 0x000000FFu) << "nothing outside the cell";
  EXPECT_EQ(px(10 + ext.cx, 10), 0x000000FFu);

  SetBkMode(dc, TRANSPARENT);
  ExtTextOutW(dc, 10, 50, 0, nullptr, u"ok", 2, nullptr);
  int green = 0, blueLeft = 0;
  for (int y = 50; y < 50 + ext.cy; ++y)
    for (int x = 10; x < 10 + ext.cx; ++x) {
      green += px(x, y) == 0x0000FF00;
      blueLeft += px(x, y) == 0x000000FF;
    }
  EXPECT_EQ(green, 0);
  EXPECT_GT(blueLeft, ext.cx * ext.cy / 3) << "most of the cell keeps its background";
  EXPECT_TRUE(DeleteObject(blue));
}

TEST_F(GdiTest, FontHeightRules) {
  auto measure = [&](HFONT f, TEXTMETRICW* tm) {
    clearScreen();
    HGDIOBJ old = SelectObject(dc, f);
    GetTextMetricsW(dc, tm);
    ExtTextOutW(dc, 0, 0, 0, nullptr, u"H", 1, nullptr);
    SelectObject(dc, old);
    RECT b = inkBounds();
    // Every glyph pixel lies inside the text cell.
    EXPECT_GE(b.top, 0);
    EXPECT_LE(b.bottom, tm->tmHeight);
    return b.bottom - b.top;
  };
  HFONT small = makeFont(-11), large = makeFont(-22), cell = makeFont(20), byDefault = makeFont(0);
  TEXTMETRICW ts{}, tl{}, tc{}, td{};
  const int hs = measure(small, &ts), hl = measure(large, &tl);
  measure(cell, &tc);
  measure(byDefault, &td);
  // A capital H is about 0.73 em tall in a sans-serif face.
  EXPECT_NEAR(hs, 8, 1);
  EXPECT_NEAR(hl, 16, 1);
  EXPECT_NEAR(tl.tmHeight, 2 * ts.tmHeight, 2);
  EXPECT_EQ(ts.tmHeight, ts.tmAscent + ts.tmDescent);
  EXPECT_EQ(ts.tmInternalLeading, ts.tmHeight - 11);
  EXPECT_EQ(tl.tmInternalLeading, tl.tmHeight - 22);
  EXPECT_EQ(tc.tmHeight, 20) << "a positive height is the cell height";
  EXPECT_GT(tc.tmInternalLeading, 0);
  EXPECT_GE(td.tmHeight, ts.tmHeight) << "0 picks a readable default";
  EXPECT_LE(td.tmHeight, 18);
  SIZE es{}, el{};
  HGDIOBJ old = SelectObject(dc, small);
  GetTextExtentPoint32W(dc, kTitle, len(kTitle), &es);
  SelectObject(dc, large);
  GetTextExtentPoint32W(dc, kTitle, len(kTitle), &el);
  SelectObject(dc, old);
  EXPECT_EQ(es.cy, ts.tmHeight);
  EXPECT_NEAR(el.cx, 2 * es.cx, es.cx / 5);
  for (HFONT f : {small, large, cell, byDefault}) EXPECT_TRUE(DeleteObject(f));
}

// At 12 pixels: Tahoma's hand-drawn 13-pixel bold draws an "l" one pixel
// wide, as its regular does.
TEST_F(GdiTest, BoldIsHeavierThanRegular) {
  HFONT regular = makeFont(-12, FW_NORMAL), bold = makeFont(-12, FW_SEMIBOLD);
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ old = SelectObject(dc, regular);
  ExtTextOutW(dc, 0, 0, 0, nullptr, u"llll", 4, nullptr);
  SelectObject(dc, bold);
  ExtTextOutW(dc, 0, 40, 0, nullptr, u"llll", 4, nullptr);
  SelectObject(dc, old);
  EXPECT_GT(ink(RECT{0, 40, 240, 80}), ink(RECT{0, 0, 240, 40}) * 5 / 4);
  DeleteObject(regular);
  DeleteObject(bold);
}

TEST_F(GdiTest, UnderlineDrawsALineUnderTheText) {
  HFONT plain = makeFont(-11), under = makeFont(-11, FW_NORMAL, 1);
  SetBkMode(dc, TRANSPARENT);
  SIZE ext{};
  HGDIOBJ old = SelectObject(dc, under);
  GetTextExtentPoint32W(dc, u"mail", 4, &ext);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  EXPECT_TRUE(tm.tmUnderlined);
  ExtTextOutW(dc, 0, 40, 0, nullptr, u"mail", 4, nullptr);
  SelectObject(dc, plain);
  ExtTextOutW(dc, 0, 0, 0, nullptr, u"mail", 4, nullptr);
  SelectObject(dc, old);
  // A full row of text-coloured pixels below the baseline, across the
  // whole extent, only in the underlined copy.
  auto fullRow = [&](int top) {
    for (int y = top + tm.tmAscent; y < top + tm.tmHeight; ++y) {
      int n = 0;
      for (int x = 0; x < ext.cx; ++x) n += px(x, y) == 0;
      if (n == ext.cx) return true;
    }
    return false;
  };
  EXPECT_TRUE(fullRow(40));
  EXPECT_FALSE(fullRow(0));
  DeleteObject(plain);
  DeleteObject(under);
}

TEST_F(GdiTest, ExtTextOutClippedAndOpaqueRectangle) {
  SetBkColor(dc, RGB(0, 0, 0));
  RECT box{5, 5, 25, 25};
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &box, kTitle, len(kTitle), nullptr);
  EXPECT_EQ(ink(), ink(box)) << "nothing outside the clip rectangle";
  EXPECT_EQ(px(24, 24), 0u) << "ETO_OPAQUE fills the rectangle with the background colour";
  EXPECT_FALSE(ExtTextOutW(nullptr, 0, 0, 0, nullptr, u"x", 1, nullptr));
}
