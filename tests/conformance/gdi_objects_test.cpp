// Graphics objects and text metrics through the API alone: each stock
// object's description, handles that are no object or no DC, deleting a
// selected object, partial descriptions, and the relations between a font's
// metrics and the extents of its text that hold on every platform.
#include <cstddef>
#include <cstring>

#include "fixture.h"

namespace {

class GdiObjectsApi : public ::testing::Test {
 protected:
  ApiPlatform platform;
  HDC dc = GetDC(nullptr);
  void TearDown() override { ReleaseDC(nullptr, dc); }
};

// Every stock object describes itself with the structure of its kind.
struct StockCase {
  const char* name;
  int index;
  int size;  // of its description: LOGBRUSH, LOGPEN or LOGFONTW
};
const StockCase kStockCases[] = {
    {"WhiteBrush", WHITE_BRUSH, sizeof(LOGBRUSH)}, {"LtGrayBrush", LTGRAY_BRUSH, sizeof(LOGBRUSH)},
    {"GrayBrush", GRAY_BRUSH, sizeof(LOGBRUSH)},   {"DkGrayBrush", DKGRAY_BRUSH, sizeof(LOGBRUSH)},
    {"BlackBrush", BLACK_BRUSH, sizeof(LOGBRUSH)}, {"NullBrush", NULL_BRUSH, sizeof(LOGBRUSH)},
    {"WhitePen", WHITE_PEN, sizeof(LOGPEN)},       {"BlackPen", BLACK_PEN, sizeof(LOGPEN)},
    {"NullPen", NULL_PEN, sizeof(LOGPEN)},         {"SystemFont", SYSTEM_FONT, sizeof(LOGFONTW)},
    {"DefaultGuiFont", DEFAULT_GUI_FONT, sizeof(LOGFONTW)},
};

class StockObjects : public GdiObjectsApi, public ::testing::WithParamInterface<StockCase> {};

TEST_P(StockObjects, DescribeThemselvesAndSurviveDeletion) {
  const StockCase& c = GetParam();
  HGDIOBJ h = GetStockObject(c.index);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetObjectW(h, 0, nullptr), c.size) << "the size needed";
  BYTE buf[sizeof(LOGFONTW) + 8];
  std::memset(buf, 0xAB, sizeof buf);
  EXPECT_EQ(GetObjectW(h, sizeof buf, buf), c.size) << "never more than the description";
  EXPECT_EQ(buf[c.size], 0xAB);
  DeleteObject(h);  // harmless on a stock object
  EXPECT_EQ(GetStockObject(c.index), h);
  EXPECT_EQ(GetObjectW(h, 0, nullptr), c.size);
  // Colours of the stock brushes and pens are documented.
  if (c.index <= BLACK_BRUSH) {
    LOGBRUSH lb;
    GetObjectW(h, sizeof lb, &lb);
    EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_SOLID));
    const BYTE grey[] = {255, 192, 128, 64, 0};
    EXPECT_EQ(lb.lbColor, RGB(grey[c.index], grey[c.index], grey[c.index]));
  }
  if (c.index == WHITE_PEN || c.index == BLACK_PEN) {
    LOGPEN lp;
    GetObjectW(h, sizeof lp, &lp);
    EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_SOLID));
    EXPECT_EQ(lp.lopnColor, c.index == WHITE_PEN ? RGB(255, 255, 255) : RGB(0, 0, 0));
  }
}

INSTANTIATE_TEST_SUITE_P(Each, StockObjects, ::testing::ValuesIn(kStockCases),
                         [](const ::testing::TestParamInfo<StockCase>& i) { return std::string(i.param.name); });

TEST_F(GdiObjectsApi, SelectObjectRefusesWhatIsNoObjectOrNoDc) {
  HPEN pen = CreatePen(PS_SOLID, 2, RGB(255, 0, 0));
  EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(0x1234))), nullptr);
  EXPECT_EQ(SelectObject(reinterpret_cast<HDC>(static_cast<UINT_PTR>(0x1234)), pen), nullptr);
  EXPECT_EQ(GetObjectW(reinterpret_cast<HGDIOBJ>(static_cast<UINT_PTR>(0x1234)), 0, nullptr), 0);
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_FALSE(DeleteObject(pen)) << "already deleted";
}

TEST_F(GdiObjectsApi, ASelectedObjectOutlivesItsDeletionUntilDeselected) {
  LOGFONTW in = tahoma(-11);
  HFONT font = CreateFontIndirectW(&in);
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

TEST_F(GdiObjectsApi, GetObjectCopiesAFontsWholeDescriptionOrItsLeadingBytes) {
  LOGFONTW in = tahoma(-11, 600, 1);
  in.lfPitchAndFamily = 0x22;
  HFONT font = CreateFontIndirectW(&in);
  ASSERT_NE(font, nullptr);
  LOGFONTW out;
  std::memset(&out, 0xAB, sizeof out);
  EXPECT_EQ(GetObjectW(font, sizeof out, &out), static_cast<int>(sizeof out));
  EXPECT_EQ(std::memcmp(&in, &out, offsetof(LOGFONTW, lfFaceName)), 0);
  EXPECT_EQ(WString(out.lfFaceName), WString(TEXT("Tahoma")));
  // A short buffer gets the leading bytes only; the rest is untouched.
  unsigned char partial[12];
  std::memset(partial, 0xAB, sizeof partial);
  EXPECT_EQ(GetObjectW(font, 8, partial), 8);
  EXPECT_EQ(std::memcmp(partial, &in, 8), 0);
  EXPECT_EQ(partial[8], 0xAB);
  EXPECT_TRUE(DeleteObject(font));
}

// Text metrics and extents at several sizes: the relations every font keeps.
class TextMetricsAtHeight : public GdiObjectsApi, public ::testing::WithParamInterface<LONG> {};

TEST_P(TextMetricsAtHeight, MetricsAndExtentsAgree) {
  LOGFONTW lf = tahoma(GetParam());
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(dc, &tm));
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  // A negative height asks for the character height: the cell less its internal leading.
  EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, -GetParam(), 1);
  EXPECT_GT(tm.tmAveCharWidth, 0);
  EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
  EXPECT_LT(tm.tmWeight, FW_BOLD);

  SIZE one{}, two{}, ab{}, cd{}, abcd{};
  EXPECT_TRUE(GetTextExtentPoint32W(dc, TEXT("W"), 1, &one));
  GetTextExtentPoint32W(dc, TEXT("WW"), 2, &two);
  EXPECT_EQ(two.cx, 2 * one.cx);
  EXPECT_EQ(one.cy, tm.tmHeight) << "an extent is a line high";
  GetTextExtentPoint32W(dc, TEXT("ab"), 2, &ab);
  GetTextExtentPoint32W(dc, TEXT("cd"), 2, &cd);
  GetTextExtentPoint32W(dc, TEXT("abcdef"), 4, &abcd);  // the count, not the terminator, ends the text
  EXPECT_EQ(abcd.cx, ab.cx + cd.cx);
  GetTextExtentPoint32W(dc, TEXT("il"), 2, &ab);
  EXPECT_LT(ab.cx, two.cx) << "a proportional font";

  SelectObject(dc, old);
  DeleteObject(font);
}

INSTANTIATE_TEST_SUITE_P(Heights, TextMetricsAtHeight, ::testing::Values(-8, -11, -13, -16, -24));

// A positive height asks for the cell height, leading included.
class CellHeight : public GdiObjectsApi, public ::testing::WithParamInterface<LONG> {};

TEST_P(CellHeight, IsTheTextMetricsHeight) {
  LOGFONTW lf = tahoma(GetParam());
  HFONT font = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(dc, &tm));
  EXPECT_NEAR(tm.tmHeight, GetParam(), 1);
  SIZE sz{};
  GetTextExtentPoint32W(dc, TEXT("Hg"), 2, &sz);
  EXPECT_EQ(sz.cy, tm.tmHeight);
  SelectObject(dc, old);
  DeleteObject(font);
}

INSTANTIATE_TEST_SUITE_P(Heights, CellHeight, ::testing::Values(12, 20, 28));

TEST_F(GdiObjectsApi, BiggerAndBolderFontsMeasureMore) {
  TEXTMETRICW tm[3]{};
  SIZE ext[3]{};
  LOGFONTW lfs[3] = {tahoma(-11), tahoma(-11, FW_BOLD), tahoma(-22)};
  for (int i = 0; i < 3; ++i) {
    HFONT f = CreateFontIndirectW(&lfs[i]);
    HGDIOBJ old = SelectObject(dc, f);
    GetTextMetricsW(dc, &tm[i]);
    GetTextExtentPoint32W(dc, TEXT("Crestune"), 8, &ext[i]);
    SelectObject(dc, old);
    DeleteObject(f);
  }
  EXPECT_GE(tm[1].tmWeight, FW_BOLD);
  EXPECT_GE(ext[1].cx, ext[0].cx);
  EXPECT_GT(tm[2].tmHeight, tm[0].tmHeight);
  EXPECT_GT(ext[2].cx, ext[0].cx);
}

TEST_F(GdiObjectsApi, MetricsAndExtentsFailWithoutADc) {
  TEXTMETRICW tm{};
  SIZE sz{};
  EXPECT_FALSE(GetTextMetricsW(nullptr, &tm));
  EXPECT_FALSE(GetTextExtentPoint32W(nullptr, TEXT("a"), 1, &sz));
  EXPECT_EQ(GetDeviceCaps(nullptr, LOGPIXELSY), 0);
}

}  // namespace
