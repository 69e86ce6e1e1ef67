// Fonts asked for at heights no screen of the device can show (a LOGFONTW,
// or a dialog template's point size, which may be up to 65535) are drawn at
// the tallest height the font engine draws, rather than rendering glyphs of
// tens of thousands of pixels.
#include "dialog_fixture.h"
#include "gdi_fixture.h"

namespace {

constexpr LONG kTallest = 640;  // pixels

TEST_F(GdiTest, HeightsPastTheTallestAreDrawnAtTheTallest) {
  struct Case {
    LONG asked, drawnAs;
  } cases[] = {
      {-60000, -kTallest}, {60000, kTallest}, {-(kTallest + 1), -kTallest},
      {LONG{-2147483647} - 1, -kTallest}, {2147483647, kTallest},
  };
  for (const Case& c : cases) {
    HFONT asked = makeFont(c.asked), tallest = makeFont(c.drawnAs);
    SIZE a{}, t{};
    const TEXTMETRICW ta = metricsOf(dc, asked, u"Wg", &a), tt = metricsOf(dc, tallest, u"Wg", &t);
    EXPECT_EQ(ta.tmHeight, tt.tmHeight) << c.asked;
    EXPECT_EQ(ta.tmAveCharWidth, tt.tmAveCharWidth) << c.asked;
    EXPECT_EQ(a.cx, t.cx) << c.asked;
    EXPECT_LE(ta.tmHeight, kTallest * 5 / 4) << c.asked;
    DeleteObject(asked);
    DeleteObject(tallest);
  }
  // Just below the limit a font keeps its own height.
  HFONT below = makeFont(kTallest - 1);
  EXPECT_EQ(metricsOf(dc, below).tmHeight, kTallest - 1);
  DeleteObject(below);
}

TEST_F(DialogTest, ATemplateOfTheLargestPointSizeOpensWithTheTallestFont) {
  DialogTemplate t(WS_POPUP | DS_SETFONT, 0, 0, 100, 50, u"Huge", false, 0xFFFF, u"Tahoma");
  t.item(kButtonClass, kChild | WS_TABSTOP, 4, 20, 40, 14, 1, u"OK");
  LONG height = 0;
  handler = [&](HWND h, UINT msg, WPARAM, LPARAM) -> INT_PTR {
    if (msg != WM_INITDIALOG) return FALSE;
    HDC dc = GetDC(h);
    height = metricsOf(dc, reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0))).tmHeight;
    ReleaseDC(h, dc);
    EndDialog(h, 3);
    return TRUE;
  };
  EXPECT_EQ(run(t), 3);
  EXPECT_GT(height, kTallest / 2);
  EXPECT_LE(height, kTallest * 5 / 4);
  EXPECT_EQ(live(wince::ObjectKind::Window), 0);
}

}  // namespace
