// Graphics objects on the stand-in, beyond what the conformance tests check
// through the API alone: the accounting of objects and DCs (selected objects
// included), the device's system font and the screen's device caps, the
// tables of objects and DCs at their edges (handles of objects gone are
// refused even once their place holds another object, handles of one table
// are never taken for the other's, and glyphs kept from one font are never
// drawn for another), and fonts asked for at heights no screen can show.
#include <set>
#include <vector>

#include "dialog_fixture.h"
#include "gdi_fixture.h"

using wince::ObjectKind;

TEST_F(GdiTest, AccountingBalancesOverCreateSelectDeleteAndCountsNoStockObject) {
  for (int i : kStockObjects) GetStockObject(i);
  EXPECT_EQ(GetStockObject(9), nullptr) << "a gap in the numbers";
  EXPECT_EQ(dev.accounting().live(ObjectKind::GdiObject), 0);
  EXPECT_EQ(dev.accounting().live(ObjectKind::Dc), 1);
  HFONT font = tahomaFont(-11);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
  HBRUSH brush = CreateSolidBrush(RGB(4, 5, 6));
  EXPECT_EQ(dev.accounting().live(ObjectKind::GdiObject), 3);
  HGDIOBJ oldFont = SelectObject(dc, font);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  EXPECT_FALSE(DeleteObject(font)) << "selected";
  EXPECT_EQ(dev.accounting().live(ObjectKind::GdiObject), 3) << "still counted";
  SelectObject(dc, oldFont);
  SelectObject(dc, oldPen);
  EXPECT_TRUE(DeleteObject(font));
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(dev.accounting().live(ObjectKind::GdiObject), 0);

  // An object selected into a DC is free again once the DC is released.
  HBRUSH held = CreateSolidBrush(RGB(9, 9, 9));
  HDC other = dev.createScreenDc(POINT{0, 0}, {});
  SelectObject(other, held);
  EXPECT_FALSE(DeleteObject(held));
  dev.releaseScreenDc(other);
  EXPECT_TRUE(DeleteObject(held));
  EXPECT_EQ(dev.accounting().live(ObjectKind::GdiObject), 0);
}

TEST_F(GdiTest, SystemFontDescribesARegularTahoma) {
  LOGFONTW lf{};
  ASSERT_EQ(GetObjectW(GetStockObject(SYSTEM_FONT), 92, &lf), 92);
  EXPECT_EQ(std::u16string(lf.lfFaceName), u"Tahoma");
  EXPECT_LT(lf.lfHeight, 0);
  EXPECT_EQ(lf.lfWeight, FW_NORMAL);

  // The product's recipe: the system font's description with a new height
  // and weight gives a usable font whose metrics follow the new height.
  lf.lfHeight = -11;
  lf.lfWeight = FW_BOLD;
  HFONT title = CreateFontIndirectW(&lf);
  const TEXTMETRICW sys = metricsOf(dc, static_cast<HFONT>(GetStockObject(SYSTEM_FONT))),
                    mine = metricsOf(dc, title);
  EXPECT_LT(mine.tmHeight, sys.tmHeight);
  EXPECT_EQ(mine.tmWeight, FW_BOLD);
  EXPECT_EQ(sys.tmWeight, FW_NORMAL);
  // Variable pitch TrueType: the "fixed pitch" bit is set for a variable
  // pitch font.
  EXPECT_EQ(sys.tmPitchAndFamily & (TMPF_FIXED_PITCH | TMPF_TRUETYPE), TMPF_FIXED_PITCH | TMPF_TRUETYPE);
  EXPECT_TRUE(DeleteObject(title));
}

TEST_F(GdiTest, DeviceCapsOfTheScreen) {
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 240);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 320);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(nullptr, HORZRES), 0);
}

TEST(GdiDeviceTest, HighDpiDeviceReportsItsDpiAndScalesStockFonts) {
  wince::DeviceOptions o;
  o.dpi = 192;
  o.screenWidth = 480;
  o.screenHeight = 640;
  wince::Device dev(o);
  HDC dc = dev.createScreenDc(POINT{0, 0}, {RECT{0, 0, 480, 640}});
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 192);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 480);
  LOGFONTW hi{};
  GetObjectW(GetStockObject(SYSTEM_FONT), sizeof hi, &hi);
  dev.releaseScreenDc(dc);
  EXPECT_LE(hi.lfHeight, -20);
}

TEST_F(GdiTest, AHandleOfADeletedObjectStaysRefusedWhileNewObjectsAreMade) {
  HBRUSH gone = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_TRUE(DeleteObject(gone));
  std::set<HGDIOBJ> seen{gone};
  // Brushes made and deleted one after another, as a program filling with
  // a new brush each time does.
  for (int i = 0; i < 1000; ++i) {
    HBRUSH b = CreateSolidBrush(RGB(i & 0xFF, 0, 0));
    ASSERT_NE(b, nullptr);
    EXPECT_TRUE(seen.insert(b).second) << "handle given out twice at " << i;
    LOGBRUSH lb{};
    EXPECT_EQ(GetObjectW(gone, sizeof lb, &lb), 0) << "a stale handle answered at " << i;
    EXPECT_EQ(SelectObject(dc, gone), nullptr);
    ASSERT_EQ(GetObjectW(b, sizeof lb, &lb), static_cast<int>(sizeof lb));
    EXPECT_EQ(lb.lbColor, RGB(i & 0xFF, 0, 0));
    ASSERT_TRUE(DeleteObject(b));
    EXPECT_FALSE(DeleteObject(b)) << "deleted twice";
  }
  EXPECT_EQ(dev.accounting().live(ObjectKind::GdiObject), 0);
}

TEST_F(GdiTest, ManyLiveObjectsKeepTheirOwnDescriptionsWhateverOrderTheyGo) {
  std::vector<HPEN> pens;
  for (int i = 0; i < 3000; ++i) pens.push_back(CreatePen(PS_SOLID, 1 + i % 5, RGB(i & 0xFF, i >> 8, 7)));
  EXPECT_EQ(std::set<HPEN>(pens.begin(), pens.end()).size(), pens.size());
  EXPECT_EQ(dev.accounting().live(ObjectKind::GdiObject), 3000);
  // Every other one goes; new ones take their places; the rest still
  // describe themselves.
  for (size_t i = 0; i < pens.size(); i += 2) ASSERT_TRUE(DeleteObject(pens[i]));
  std::vector<HBRUSH> brushes;
  for (int i = 0; i < 1500; ++i) brushes.push_back(CreateSolidBrush(RGB(0, 0, i & 0xFF)));
  for (size_t i = 1; i < pens.size(); i += 2) {
    LOGPEN lp{};
    ASSERT_EQ(GetObjectW(pens[i], sizeof lp, &lp), static_cast<int>(sizeof lp)) << i;
    EXPECT_EQ(lp.lopnColor, RGB(i & 0xFF, i >> 8, 7));
    EXPECT_EQ(lp.lopnWidth.x, static_cast<LONG>(1 + i % 5));
  }
  for (size_t i = 0; i < pens.size(); i += 2) EXPECT_FALSE(DeleteObject(pens[i])) << "stale pen " << i;
  for (size_t i = pens.size() - 1; i < pens.size(); i -= 2) EXPECT_TRUE(DeleteObject(pens[i]));
  for (HBRUSH b : brushes) EXPECT_TRUE(DeleteObject(b));
  EXPECT_EQ(dev.accounting().live(ObjectKind::GdiObject), 0);
}

TEST_F(GdiTest, DcsAndObjectsAreNeverTakenForEachOther) {
  HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
  EXPECT_EQ(SelectObject(dc, reinterpret_cast<HGDIOBJ>(dc)), nullptr) << "a DC selected as an object";
  EXPECT_EQ(GetDeviceCaps(reinterpret_cast<HDC>(brush), HORZRES), 0) << "a brush used as a DC";
  EXPECT_FALSE(dev.isLiveDc(reinterpret_cast<HDC>(brush)));

  // A released DC is refused after another DC has taken its place.
  HDC first = dev.createScreenDc(POINT{0, 0}, {RECT{0, 0, 10, 10}});
  EXPECT_EQ(dev.accounting().live(ObjectKind::Dc), 2);
  ASSERT_TRUE(dev.releaseScreenDc(first));
  EXPECT_FALSE(dev.releaseScreenDc(first)) << "released twice";
  HDC second = dev.createScreenDc(POINT{5, 5}, {RECT{0, 0, 20, 20}});
  EXPECT_NE(first, second);
  EXPECT_FALSE(dev.isLiveDc(first));
  EXPECT_EQ(SetBkMode(first, TRANSPARENT), 0);
  EXPECT_EQ(GetDeviceCaps(second, HORZRES), 240);
  EXPECT_TRUE(dev.releaseScreenDc(second));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_EQ(dev.accounting().live(ObjectKind::Dc), 1);
}

TEST_F(GdiTest, GlyphsKeptForOneFontAreNeverDrawnForAnother) {
  // Latin-1 and beyond, at two sizes and two weights drawn in turn: each
  // draws what it drew the first time, and the fonts differ.
  const char16_t* text = u"Añø Ωж€ x";
  HFONT fonts[3] = {tahomaFont(-11), tahomaFont(-16), tahomaFont(-11, FW_BOLD)};
  std::vector<uint32_t> first[3];
  SIZE firstSize[3]{};
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 3; ++i) {
      clearScreen();
      HGDIOBJ old = SelectObject(dc, fonts[i]);
      SIZE size{};
      GetTextExtentPoint32W(dc, text, 9, &size);
      ExtTextOutW(dc, 4, 4, 0, nullptr, text, 9, nullptr);
      SelectObject(dc, old);
      if (round == 0) {
        first[i] = dev.screen().pixels;
        firstSize[i] = size;
        EXPECT_GT(ink(), 30) << "font " << i;
      } else {
        EXPECT_EQ(dev.screen().pixels, first[i]) << "font " << i;
        EXPECT_EQ(size.cx, firstSize[i].cx);
      }
    }
  EXPECT_NE(first[0], first[1]);
  EXPECT_NE(first[0], first[2]);
  for (HFONT f : fonts) DeleteObject(f);
}

// Fonts asked for at heights no screen of the device can show (a LOGFONTW,
// or a dialog template's point size, which may be up to 65535) are drawn at
// the tallest height the font engine draws, rather than rendering glyphs of
// tens of thousands of pixels.
constexpr LONG kTallest = 640;  // pixels

TEST_F(GdiTest, HeightsPastTheTallestAreDrawnAtTheTallest) {
  struct Case {
    LONG asked, drawnAs;
  } cases[] = {
      {-60000, -kTallest}, {60000, kTallest}, {-(kTallest + 1), -kTallest},
      {LONG{-2147483647} - 1, -kTallest}, {2147483647, kTallest},
  };
  for (const Case& c : cases) {
    HFONT asked = tahomaFont(c.asked), tallest = tahomaFont(c.drawnAs);
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
  HFONT below = tahomaFont(kTallest - 1);
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
