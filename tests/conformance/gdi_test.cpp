// Rectangles, graphics objects and text metrics as Win32 documents them,
// through the API alone: rectangle arithmetic, each stock object's
// description, selection into a DC and handles that are no object or no DC,
// descriptions whole and in part, a DC's simple attributes, and the
// relations between a font's metrics and the extents of its text that hold
// on every platform.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "fixture.h"

namespace {

class GdiObjectsApi : public PlatformTest {
 protected:
  HDC dc = GetDC(nullptr);
  void TearDown() override { ReleaseDC(nullptr, dc); }
};

TEST(ApiRect, SetIntersectOffsetAndPointInside) {
  RECT a, b, out;
  EXPECT_TRUE(SetRect(&a, 10, 20, 110, 70));
  EXPECT_EQ(a, (RECT{10, 20, 110, 70}));
  SetRect(&b, 50, 0, 200, 40);
  EXPECT_TRUE(IntersectRect(&out, &a, &b));
  EXPECT_EQ(out, (RECT{50, 20, 110, 40}));

  // Touching edges do not overlap: the result is empty and the answer FALSE.
  SetRect(&b, 110, 20, 150, 70);
  SetRect(&out, 1, 2, 3, 4);
  EXPECT_FALSE(IntersectRect(&out, &a, &b));
  EXPECT_EQ(out, (RECT{0, 0, 0, 0}));
  // An empty rectangle meets nothing, even inside another.
  SetRect(&b, 30, 30, 30, 60);
  EXPECT_FALSE(IntersectRect(&out, &a, &b));

  // The right and bottom edges are outside.
  EXPECT_TRUE(PtInRect(&a, POINT{10, 20}));
  EXPECT_TRUE(PtInRect(&a, POINT{109, 69}));
  EXPECT_FALSE(PtInRect(&a, POINT{110, 30}));
  EXPECT_FALSE(PtInRect(&a, POINT{30, 70}));
  EXPECT_FALSE(PtInRect(&a, POINT{9, 30}));

  EXPECT_TRUE(OffsetRect(&a, -10, 5));
  EXPECT_EQ(a, (RECT{0, 25, 100, 75}));
  EXPECT_TRUE(SetRectEmpty(&a));
  EXPECT_EQ(a, (RECT{0, 0, 0, 0}));
}

// Every stock object is a handle of its own, the same every time, that
// describes itself with the structure of its kind (LOGBRUSH, LOGPEN or
// LOGFONTW) and survives deletion.
TEST_F(GdiObjectsApi, StockObjectsAreDistinctDescribeThemselvesAndSurviveDeletion) {
  std::vector<HGDIOBJ> seen;
  for (int index : kStockObjects) {
    SCOPED_TRACE(index);
    const int size = index <= NULL_BRUSH ? sizeof(LOGBRUSH) : index <= NULL_PEN ? sizeof(LOGPEN) : sizeof(LOGFONTW);
    HGDIOBJ h = GetStockObject(index);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetStockObject(index), h) << "the same handle every time";
    EXPECT_EQ(std::count(seen.begin(), seen.end(), h), 0);
    seen.push_back(h);
    EXPECT_EQ(GetObjectW(h, 0, nullptr), size) << "the size needed";
    BYTE buf[sizeof(LOGFONTW) + 8];
    std::memset(buf, 0xAB, sizeof buf);
    EXPECT_EQ(GetObjectW(h, sizeof buf, buf), size) << "never more than the description";
    EXPECT_EQ(buf[size], 0xAB);
    EXPECT_TRUE(DeleteObject(h)) << "harmless on a stock object";
    EXPECT_EQ(GetStockObject(index), h);
    EXPECT_EQ(GetObjectW(h, 0, nullptr), size) << "still there";
    // Colours of the stock brushes and pens are documented.
    if (index <= BLACK_BRUSH) {
      LOGBRUSH lb;
      GetObjectW(h, sizeof lb, &lb);
      EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
      const BYTE grey[] = {255, 192, 128, 64, 0};
      EXPECT_EQ(lb.lbColor, RGB(grey[index], grey[index], grey[index]));
    }
    if (index == WHITE_PEN || index == BLACK_PEN) {
      LOGPEN lp;
      GetObjectW(h, sizeof lp, &lp);
      EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_SOLID));
      EXPECT_EQ(lp.lopnColor, index == WHITE_PEN ? RGB(255, 255, 255) : RGB(0, 0, 0));
    }
  }
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_EQ(GetStockObject(1000), nullptr);
}

TEST_F(GdiObjectsApi, SelectObjectAnswersThePreviousObjectOfTheSameKindAndRefusesWhatIsNone) {
  HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 0, 0));
  HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
  HFONT font = tahomaFont(-11);
  ASSERT_NE(pen, nullptr);
  ASSERT_NE(brush, nullptr);
  ASSERT_NE(font, nullptr);
  // A new DC starts with the black pen, the white brush and the system font.
  EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(dc, font), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(SelectObject(dc, GetStockObject(NULL_PEN)), pen);
  EXPECT_EQ(SelectObject(dc, GetStockObject(BLACK_PEN)), GetStockObject(NULL_PEN));
  EXPECT_EQ(SelectObject(dc, GetStockObject(WHITE_BRUSH)), brush);
  EXPECT_EQ(SelectObject(dc, GetStockObject(SYSTEM_FONT)), font);
  // What is no object, or no DC, is refused.
  const auto none = reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(0x1234));
  EXPECT_EQ(SelectObject(dc, none), nullptr);
  EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(none), pen), nullptr);
  EXPECT_EQ(GetObjectW(none, 0, nullptr), 0);

  for (HGDIOBJ h : {static_cast<HGDIOBJ>(pen), static_cast<HGDIOBJ>(brush), static_cast<HGDIOBJ>(font)})
    EXPECT_TRUE(DeleteObject(h));
  // A deleted handle is dead.
  EXPECT_FALSE(DeleteObject(pen)) << "already deleted";
  EXPECT_EQ(GetObjectW(font, 0, nullptr), 0);
  EXPECT_EQ(SelectObject(dc, brush), nullptr);
}

TEST_F(GdiObjectsApi, ASelectedObjectOutlivesItsDeletionUntilDeselected) {
  HFONT font = tahomaFont(-11);
  HGDIOBJ old = SelectObject(dc, font);
#ifdef _WIN32
  EXPECT_TRUE(DeleteObject(font));  // desktop Win32 accepts and deletes it once deselected
#else
  EXPECT_FALSE(DeleteObject(font));  // Windows CE refuses to delete an object selected into a DC
#endif
  LOGFONTW out{};
  EXPECT_EQ(GetObjectW(font, sizeof out, &out), static_cast<int>(sizeof out)) << "still alive while selected";
  EXPECT_EQ(out.lfHeight, -11);
  SelectObject(dc, old);
#ifndef _WIN32
  EXPECT_TRUE(DeleteObject(font));
#endif
}

TEST_F(GdiObjectsApi, GetObjectGivesBackTheDescriptionObjectsWereMadeFromWholeOrItsLeadingBytes) {
  EXPECT_EQ(sizeof(LOGFONTW), 92u);
  LOGFONTW in = tahoma(-11, 600, 1);
  in.lfPitchAndFamily = 0x22;
  HFONT font = CreateFontIndirectW(&in);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(GetObjectW(font, 0, nullptr), 92) << "no buffer: the size";
  LOGFONTW out;
  std::memset(&out, 0xAB, sizeof out);
  EXPECT_EQ(GetObjectW(font, sizeof out, &out), 92);
  EXPECT_EQ(std::memcmp(&in, &out, offsetof(LOGFONTW, lfFaceName)), 0) << "height, weight, underline, pitch...";
  EXPECT_EQ(WString(out.lfFaceName), WString(TEXT("Tahoma")));
  // A short buffer gets the leading bytes only; the rest is untouched.
  unsigned char partial[12];
  std::memset(partial, 0xAB, sizeof partial);
  EXPECT_EQ(GetObjectW(font, 8, partial), 8);
  EXPECT_EQ(std::memcmp(partial, &in, 8), 0);
  EXPECT_EQ(partial[8], 0xAB);
  EXPECT_TRUE(DeleteObject(font));

  HPEN pen = CreatePen(PS_SOLID, 3, RGB(10, 20, 30));
  LOGPEN lp{};
  EXPECT_EQ(GetObjectW(pen, sizeof lp, &lp), static_cast<int>(sizeof lp));
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_SOLID));
  EXPECT_EQ(lp.lopnWidth.x, 3);
  EXPECT_EQ(lp.lopnColor, RGB(10, 20, 30));
  EXPECT_TRUE(DeleteObject(pen));

  HBRUSH brush = CreateSolidBrush(RGB(40, 50, 60));
  LOGBRUSH lb{};
  EXPECT_EQ(GetObjectW(brush, sizeof lb, &lb), static_cast<int>(sizeof lb));
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
  EXPECT_EQ(lb.lbColor, RGB(40, 50, 60));
  EXPECT_TRUE(DeleteObject(brush));
}

TEST_F(GdiObjectsApi, TextColourBackgroundAndModeAnswerTheirPreviousValues) {
  EXPECT_EQ(GetTextColor(dc), RGB(0, 0, 0));
  EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
  EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
  EXPECT_EQ(SetBkColor(dc, RGB(4, 5, 6)), RGB(255, 255, 255));
  EXPECT_EQ(SetBkColor(dc, RGB(255, 255, 255)), RGB(4, 5, 6));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(dc, 7), 0) << "an unknown mode is refused";
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  SetBkMode(dc, OPAQUE);
  SetTextColor(dc, RGB(0, 0, 0));
}

TEST_F(GdiObjectsApi, CallsOnWhatIsNoDcFail) {
  TEXTMETRICW tm{};
  SIZE sz{};
  EXPECT_FALSE(GetTextMetricsW(nullptr, &tm));
  EXPECT_FALSE(GetTextExtentPoint32W(nullptr, TEXT("a"), 1, &sz));
  EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSY), 0);
  HDC dead = reinterpret_cast<HDC>(static_cast<UINT_PTR>(0x4321));
  EXPECT_EQ(SetTextColor(dead, 0), CLR_INVALID);
#ifndef _WIN32
  // Wine answers 0 here, not the CLR_INVALID GetTextColor documents.
  EXPECT_EQ(GetTextColor(dead), CLR_INVALID);
#endif
  EXPECT_EQ(SetBkMode(dead, OPAQUE), 0);
  EXPECT_EQ(GetDeviceCaps(dead, HORZRES), 0);
}

// Text metrics and extents at several sizes: the relations every font keeps.
// A negative height asks for the character height, the cell less its
// internal leading; a positive one for the cell height, leading included.
TEST_F(GdiObjectsApi, MetricsAndExtentsAgreeAtEveryHeight) {
  for (LONG height : {-8, -11, -13, -16, -24, 12, 20, 28}) {
    SCOPED_TRACE(height);
    HFONT font = tahomaFont(height);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm{};
    EXPECT_TRUE(GetTextMetricsW(dc, &tm));
    EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
    EXPECT_NEAR(height < 0 ? tm.tmHeight - tm.tmInternalLeading : tm.tmHeight, height < 0 ? -height : height, 1);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
    EXPECT_LT(tm.tmWeight, FW_BOLD);

    SIZE one{}, two{}, ab{}, cd{}, abcd{}, hg{};
    EXPECT_TRUE(GetTextExtentPoint32W(dc, TEXT("W"), 1, &one));
    GetTextExtentPoint32W(dc, TEXT("WW"), 2, &two);
    EXPECT_EQ(two.cx, 2 * one.cx);
    GetTextExtentPoint32W(dc, TEXT("Hg"), 2, &hg);
    EXPECT_EQ(one.cy, tm.tmHeight) << "an extent is a line high";
    EXPECT_EQ(hg.cy, tm.tmHeight);
    GetTextExtentPoint32W(dc, TEXT("ab"), 2, &ab);
    GetTextExtentPoint32W(dc, TEXT("cd"), 2, &cd);
    GetTextExtentPoint32W(dc, TEXT("abcdef"), 4, &abcd);  // the count, not the terminator, ends the text
    EXPECT_EQ(abcd.cx, ab.cx + cd.cx);
    GetTextExtentPoint32W(dc, TEXT("il"), 2, &ab);
    EXPECT_LT(ab.cx, two.cx) << "a proportional font";
    SelectObject(dc, old);
    DeleteObject(font);
  }
}

// Bigger fonts measuring more is in GdiText.FontHeightRules.
TEST_F(GdiObjectsApi, BoldFontsAreBoldAndMeasureNoLess) {
  HFONT regular = tahomaFont(-11), bold = tahomaFont(-11, FW_BOLD);
  SIZE plain{}, heavy{};
  metricsOf(dc, regular, TEXT("Crestune"), &plain);
  EXPECT_GE(metricsOf(dc, bold, TEXT("Crestune"), &heavy).tmWeight, FW_BOLD);
  EXPECT_GE(heavy.cx, plain.cx);
  DeleteObject(regular);
  DeleteObject(bold);
}

}  // namespace
