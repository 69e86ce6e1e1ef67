// Rectangles and graphics objects as Win32 documents them, through the API
// alone: rectangle arithmetic, stock objects, selection into a DC, object
// descriptions, and a DC's simple attributes.
#include <algorithm>
#include <cstring>

#include "fixture.h"

namespace {

class ApiGdiTest : public ::testing::Test {
 protected:
  ApiPlatform platform;
  HDC dc = GetDC(nullptr);
  void TearDown() override { ReleaseDC(nullptr, dc); }
};

bool sameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

TEST(ApiRect, SetIntersectOffsetAndPointInside) {
  RECT a, b, out;
  EXPECT_TRUE(SetRect(&a, 10, 20, 110, 70));
  EXPECT_TRUE(sameRect(a, RECT{10, 20, 110, 70}));
  SetRect(&b, 50, 0, 200, 40);
  EXPECT_TRUE(IntersectRect(&out, &a, &b));
  EXPECT_TRUE(sameRect(out, RECT{50, 20, 110, 40}));

  // Touching edges do not overlap: the result is empty and the answer FALSE.
  SetRect(&b, 110, 20, 150, 70);
  SetRect(&out, 1, 2, 3, 4);
  EXPECT_FALSE(IntersectRect(&out, &a, &b));
  EXPECT_TRUE(sameRect(out, RECT{0, 0, 0, 0}));
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
  EXPECT_TRUE(sameRect(a, RECT{0, 25, 100, 75}));
  EXPECT_TRUE(SetRectEmpty(&a));
  EXPECT_TRUE(sameRect(a, RECT{0, 0, 0, 0}));
}

TEST_F(ApiGdiTest, StockObjectsAreDistinctAndDeletingThemIsHarmless) {
  std::vector<HGDIOBJ> seen;
  for (int i : kStockObjects) {
    HGDIOBJ h = GetStockObject(i);
    ASSERT_NE(h, nullptr) << i;
    EXPECT_EQ(GetStockObject(i), h) << "the same handle every time";
    EXPECT_EQ(std::count(seen.begin(), seen.end(), h), 0);
    seen.push_back(h);
  }
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_EQ(GetStockObject(1000), nullptr);

  HGDIOBJ black = GetStockObject(BLACK_BRUSH);
  EXPECT_TRUE(DeleteObject(black));
  LOGBRUSH lb{};
  EXPECT_EQ(GetObjectW(black, sizeof lb, &lb), static_cast<int>(sizeof lb)) << "still there";
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
  EXPECT_EQ(lb.lbColor, RGB(0, 0, 0));
  EXPECT_EQ(GetStockObject(BLACK_BRUSH), black);
}

TEST_F(ApiGdiTest, SelectObjectReturnsThePreviousObjectOfTheSameKind) {
  HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 0, 0));
  HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
  LOGFONTW lf{};
  lf.lfHeight = -11;
  HFONT font = CreateFontIndirectW(&lf);
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

  for (HGDIOBJ h : {static_cast<HGDIOBJ>(pen), static_cast<HGDIOBJ>(brush), static_cast<HGDIOBJ>(font)})
    EXPECT_TRUE(DeleteObject(h));
  // A deleted handle is dead.
  EXPECT_FALSE(DeleteObject(pen));
  EXPECT_EQ(GetObjectW(font, 0, nullptr), 0);
  EXPECT_EQ(SelectObject(dc, brush), nullptr);
}

TEST_F(ApiGdiTest, GetObjectGivesBackTheDescriptionsObjectsWereMadeFrom) {
  EXPECT_EQ(sizeof(LOGFONTW), 92u);
  LOGFONTW in = tahoma(-11, 600, 1);
  in.lfPitchAndFamily = 0x22;
  HFONT font = CreateFontIndirectW(&in);
  ASSERT_NE(font, nullptr);

  EXPECT_EQ(GetObjectW(font, 0, nullptr), 92) << "no buffer: the size";
  LOGFONTW out;
  std::memset(&out, 0xAB, sizeof out);
  EXPECT_EQ(GetObjectW(font, sizeof out, &out), 92);
  EXPECT_EQ(out.lfHeight, -11);
  EXPECT_EQ(out.lfWeight, 600);
  EXPECT_EQ(out.lfUnderline, 1);
  EXPECT_EQ(out.lfPitchAndFamily, 0x22);
  EXPECT_EQ(WString(out.lfFaceName), WString(TEXT("Tahoma")));
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

TEST_F(ApiGdiTest, TextColourBackgroundAndModeAnswerTheirPreviousValues) {
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

  HDC dead = reinterpret_cast<HDC>(static_cast<UINT_PTR>(0x4321));
  EXPECT_EQ(SetTextColor(dead, 0), CLR_INVALID);
#ifndef _WIN32
  // Wine answers 0 here, not the CLR_INVALID GetTextColor documents.
  EXPECT_EQ(GetTextColor(dead), CLR_INVALID);
#endif
  EXPECT_EQ(SetBkMode(dead, OPAQUE), 0);
  EXPECT_EQ(GetDeviceCaps(dead, HORZRES), 0);
}

}  // namespace
