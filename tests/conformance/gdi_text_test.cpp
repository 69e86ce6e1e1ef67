// Text on a window's DC as Win32 documents it, read back with GetPixel:
// DrawTextW's clipping, alignment, lines and prefixes, the text and
// background colours, font heights, weight and underline, and ExtTextOutW's
// rectangle. Glyph shapes differ between renderers, so the tests measure
// with the API and check where the ink lies, not which pixels it takes.
#include <string>

#include "drawing.h"

namespace {

const WCHAR kTitle[] = TEXT("Windows Media Player Crestune");
int len(const WCHAR* s) { return static_cast<int>(std::char_traits<WCHAR>::length(s)); }

class GdiText : public DrawingTest {
 protected:
  void SetUp() override {
    DrawingTest::SetUp();
    SetBkMode(dc, TRANSPARENT);
  }
  // Draws `text` with `font` at (x, y) and answers its extent.
  SIZE textOut(HFONT font, int x, int y, const WCHAR* text) {
    HGDIOBJ old = SelectObject(dc, font);
    SIZE ext{};
    GetTextExtentPoint32W(dc, text, len(text), &ext);
    ExtTextOutW(dc, x, y, 0, nullptr, text, len(text), nullptr);
    SelectObject(dc, old);
    return ext;
  }
};

TEST_F(GdiText, DrawTextStaysInsideItsRectangleUnlessNoClip) {
  RECT rc{10, 10, 60, 30};
  DrawTextW(dc, kTitle, -1, &rc, DT_SINGLELINE | DT_VCENTER);
  EXPECT_GT(ink(rc), 20);
  EXPECT_EQ(ink(), ink(rc)) << "nothing outside the rectangle";
  EXPECT_EQ(rc.right, 60) << "the rectangle is not changed without DT_CALCRECT";

  RECT free{10, 100, 60, 120};
  DrawTextW(dc, kTitle, -1, &free, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(ink(RECT{60, 95, 240, 130}), 20) << "DT_NOCLIP runs past the right edge";
}

TEST_F(GdiText, VCenterCentresTheTextCell) {
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(dc, &tm));
  for (int h : {23, 36, 100}) {
    clear();
    RECT rc{0, 0, 240, h};
    const int top = (h - tm.tmHeight) / 2;
    EXPECT_EQ(DrawTextW(dc, TEXT("Hxg"), -1, &rc, DT_SINGLELINE | DT_VCENTER), top + tm.tmHeight)
        << "the offset from the top to the bottom of the text";
    const RECT b = inkBounds(RECT{0, 0, 240, 110});
    EXPECT_GE(b.top, top) << h;
    EXPECT_LE(b.bottom, top + tm.tmHeight) << h;
    EXPECT_NEAR((b.top + b.bottom) / 2.0, h / 2.0, tm.tmHeight / 3.0) << h;
    EXPECT_LE(b.left, 2) << "left aligned by default";
  }
  // Without DT_VCENTER the text sits at the top and the answer is its height.
  clear();
  RECT rc{0, 0, 240, 100};
  EXPECT_EQ(DrawTextW(dc, TEXT("Hxg"), -1, &rc, DT_SINGLELINE), tm.tmHeight);
  EXPECT_LE(inkBounds().bottom, tm.tmHeight);
  clear();
  EXPECT_EQ(DrawTextW(dc, TEXT("Hxg"), -1, &rc, DT_SINGLELINE | DT_BOTTOM), 100);
  EXPECT_GE(inkBounds().top, 100 - tm.tmHeight);
}

TEST_F(GdiText, HorizontalAlignmentAndCalcRect) {
  SIZE ext{};
  ASSERT_TRUE(GetTextExtentPoint32W(dc, TEXT("Play"), 4, &ext));
  EXPECT_GT(ext.cx, 10);

  RECT calc{20, 30, 200, 300};
  EXPECT_EQ(DrawTextW(dc, TEXT("Play"), 4, &calc, DT_SINGLELINE | DT_CALCRECT), ext.cy);
  EXPECT_EQ(calc, (RECT{20, 30, 20 + ext.cx, 30 + ext.cy}));
  EXPECT_EQ(ink(), 0) << "DT_CALCRECT draws nothing";

  RECT rc{0, 0, 240, 20};
  DrawTextW(dc, TEXT("Play"), -1, &rc, DT_SINGLELINE | DT_RIGHT);
  const RECT right = inkBounds(RECT{0, 0, 240, 20});
  EXPECT_GE(right.left, 240 - ext.cx - 1);
  EXPECT_GE(right.right, 236);
  clear();
  DrawTextW(dc, TEXT("Play"), -1, &rc, DT_SINGLELINE | DT_CENTER);
  const RECT centre = inkBounds(RECT{0, 0, 240, 20});
  EXPECT_NEAR((centre.left + centre.right) / 2.0, 120, 3);

  // A count stops the text early; -1 reads to the terminator.
  clear();
  RECT a{0, 0, 240, 20}, b{0, 40, 240, 60};
  DrawTextW(dc, TEXT("Play all"), 4, &a, DT_SINGLELINE);
  DrawTextW(dc, TEXT("Play"), -1, &b, DT_SINGLELINE);
  EXPECT_EQ(inkBounds(RECT{0, 0, 240, 20}).right, inkBounds(RECT{0, 40, 240, 60}).right);
}

TEST_F(GdiText, MultiLineAndWordBreak) {
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  RECT rc{0, 0, 240, 200};
  EXPECT_EQ(DrawTextW(dc, TEXT("one\r\ntwo\nthree"), -1, &rc, DT_CALCRECT), 3 * tm.tmHeight);
  RECT narrow{0, 0, 60, 200};
  EXPECT_GE(DrawTextW(dc, TEXT("alpha beta gamma delta"), -1, &narrow, DT_WORDBREAK | DT_CALCRECT), 2 * tm.tmHeight);
  EXPECT_LE(narrow.right, 60);
  // Drawn, each line below the one before.
  RECT lines{0, 0, 240, 200};
  DrawTextW(dc, TEXT("one\ntwo"), -1, &lines, 0);
  const RECT first = inkBounds(RECT{0, 0, 240, tm.tmHeight}),
             second = inkBounds(RECT{0, tm.tmHeight, 240, 2 * tm.tmHeight});
  EXPECT_GT(first.bottom, 0);
  EXPECT_GT(second.bottom, 0) << "the second line starts a line height down";
  EXPECT_EQ(ink(RECT{0, 2 * tm.tmHeight, 240, 200}), 0);

  // Mnemonic prefixes: "&&" shows one ampersand, "&x" none.
  SIZE one{}, two{};
  GetTextExtentPoint32W(dc, TEXT("A&B"), 3, &one);
  GetTextExtentPoint32W(dc, TEXT("A&&B"), 4, &two);
  RECT pr{0, 0, 240, 40};
  DrawTextW(dc, TEXT("A&&B"), -1, &pr, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_EQ(pr.right, one.cx);
  pr = RECT{0, 0, 240, 40};
  DrawTextW(dc, TEXT("A&&B"), -1, &pr, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(pr.right, two.cx);

  // Drawn: "&P" underlines the P; "&&" is a plain ampersand.
  clear();
  RECT r1{0, 0, 240, 20}, r2{0, 40, 240, 60}, r3{0, 80, 240, 100}, r4{0, 120, 240, 140};
  DrawTextW(dc, TEXT("&Play"), -1, &r1, DT_SINGLELINE);
  DrawTextW(dc, TEXT("Play"), -1, &r2, DT_SINGLELINE);
  DrawTextW(dc, TEXT("A&&B"), -1, &r3, DT_SINGLELINE);
  DrawTextW(dc, TEXT("A&B"), -1, &r4, DT_SINGLELINE | DT_NOPREFIX);
  EXPECT_GT(ink(r1), ink(r2));
  EXPECT_EQ(inkBounds(r1).right, inkBounds(r2).right);
  EXPECT_EQ(ink(r3), ink(r4));
}

TEST_F(GdiText, TextPixelsTakeTheTextColour) {
  SetTextColor(dc, kRed);
  RECT rc{0, 0, 240, 40};
  DrawTextW(dc, TEXT("HHHH"), -1, &rc, DT_SINGLELINE);
  int solid = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 240; ++x) {
      const COLORREF p = px(x, y);
      if (p == kWhite) continue;
      // Smoothed edges lie between the white background and red.
      ASSERT_EQ(GetRValue(p), 255) << x << "," << y;
      solid += p == kRed;

    }
  EXPECT_GT(solid, 20) << "the stems of H are fully covered";
}

TEST_F(GdiText, OpaqueFillsTheCellTransparentKeepsTheBackground) {
  HBRUSH blue = CreateSolidBrush(kBlue);
  RECT all{0, 0, 240, 100};
  FillRect(dc, &all, blue);
  SIZE ext{};
  GetTextExtentPoint32W(dc, TEXT("ok"), 2, &ext);

  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, kGreen);
  ExtTextOutW(dc, 10, 10, 0, nullptr, TEXT("ok"), 2, nullptr);
  EXPECT_EQ(ink(RECT{10, 10, 10 + ext.cx, 10 + ext.cy}, kBlue), ext.cx * ext.cy) << "no blue left in the cell";
  EXPECT_EQ(px(10, 10), kGreen);
  EXPECT_EQ(ink(RECT{0, 0, 240, 100}, kBlue), ext.cx * ext.cy) << "nothing outside the cell";

  SetBkMode(dc, TRANSPARENT);
  ExtTextOutW(dc, 10, 50, 0, nullptr, TEXT("ok"), 2, nullptr);
  const RECT cell{10, 50, 10 + ext.cx, 50 + ext.cy};
  EXPECT_EQ(ink(cell, kGreen), ext.cx * ext.cy) << "no background colour";
  EXPECT_LT(ink(cell, kBlue), ext.cx * ext.cy * 2 / 3) << "most of the cell keeps what was there";
  EXPECT_TRUE(DeleteObject(blue));
}

TEST_F(GdiText, FontHeightRules) {
  struct Measured {
    TEXTMETRICW tm{};
    SIZE title{};
    int capital = 0;  // the ink height of an H
  };
  auto measure = [&](LONG height) {
    Measured m;
    clear();
    HFONT f = tahomaFont(height);
    m.tm = metricsOf(dc, f, kTitle, &m.title);
    textOut(f, 0, 0, TEXT("H"));
    DeleteObject(f);
    const RECT b = inkBounds(RECT{0, 0, 60, 60});
    EXPECT_GE(b.top, 0) << "every glyph pixel lies inside the text cell";
    EXPECT_LE(b.bottom, m.tm.tmHeight);
    m.capital = b.bottom - b.top;
    return m;
  };
  const Measured small = measure(-11), large = measure(-22), byDefault = measure(0);
  // A negative height is the em: the cell less its internal leading.
  EXPECT_EQ(small.tm.tmInternalLeading, small.tm.tmHeight - 11);
  EXPECT_EQ(large.tm.tmInternalLeading, large.tm.tmHeight - 22);
  // A capital H is about 0.73 em tall in Tahoma.
  EXPECT_NEAR(small.capital, 8, 1);
  EXPECT_NEAR(large.capital, 16, 1);
  EXPECT_NEAR(large.tm.tmHeight, 2 * small.tm.tmHeight, 2);
  EXPECT_NEAR(large.title.cx, 2 * small.title.cx, small.title.cx / 5);
  EXPECT_GE(byDefault.tm.tmHeight, small.tm.tmHeight) << "0 picks a readable default";
  EXPECT_LE(byDefault.tm.tmHeight, 18);
}

// At 12 pixels, Tahoma's semibold is drawn with its bold face.
TEST_F(GdiText, BoldIsHeavierThanRegular) {
  HFONT regular = tahomaFont(-12, FW_NORMAL), bold = tahomaFont(-12, FW_SEMIBOLD);
  textOut(regular, 0, 0, TEXT("llll"));
  textOut(bold, 0, 40, TEXT("llll"));
  EXPECT_GT(ink(RECT{0, 40, 240, 80}), ink(RECT{0, 0, 240, 40}) * 5 / 4);
  DeleteObject(regular);
  DeleteObject(bold);
}

TEST_F(GdiText, UnderlineDrawsALineUnderTheText) {
  HFONT plain = tahomaFont(-11), under = tahomaFont(-11, FW_NORMAL, 1);
  const TEXTMETRICW tm = metricsOf(dc, under);
  EXPECT_TRUE(tm.tmUnderlined);
  const SIZE ext = textOut(under, 0, 40, TEXT("mail"));
  textOut(plain, 0, 0, TEXT("mail"));
  // A full row of text-coloured pixels below the baseline, across the
  // whole extent, only in the underlined copy.
  auto fullRow = [&](int top) {
    for (int y = top + tm.tmAscent; y < top + tm.tmHeight; ++y)
      if (ink(RECT{0, y, ext.cx, y + 1}, kBlack) == 0) return true;
    return false;
  };
  EXPECT_TRUE(fullRow(40));
  EXPECT_FALSE(fullRow(0));
  DeleteObject(plain);
  DeleteObject(under);
}

TEST_F(GdiText, ExtTextOutClippedAndOpaqueRectangle) {
  SetBkColor(dc, kBlack);
  RECT box{5, 5, 25, 25};
  EXPECT_TRUE(ExtTextOutW(dc, 0, 0, ETO_OPAQUE | ETO_CLIPPED, &box, kTitle, len(kTitle), nullptr));
  EXPECT_EQ(ink(RECT{0, 0, 240, 40}), 400) << "the rectangle filled, nothing outside it";
  EXPECT_EQ(px(24, 24), kBlack) << "ETO_OPAQUE fills the rectangle with the background colour";
  // Clipped without filling: the text's own ink, cut at the rectangle.
  SetTextColor(dc, kRed);
  RECT cut{0, 50, 20, 70};
  EXPECT_TRUE(ExtTextOutW(dc, 0, 50, ETO_CLIPPED, &cut, kTitle, len(kTitle), nullptr));
  EXPECT_GT(ink(cut), 0);
  EXPECT_EQ(ink(RECT{0, 45, 240, 80}), ink(cut)) << "nothing outside the clip rectangle";
  EXPECT_FALSE(ExtTextOutW(nullptr, 0, 0, 0, nullptr, TEXT("x"), 1, nullptr));
}

}  // namespace
