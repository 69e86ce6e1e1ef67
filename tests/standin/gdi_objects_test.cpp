// Graphics objects on the stand-in, beyond what the conformance tests check
// through the API alone: the accounting of objects and DCs (selected objects
// included), the device's system font, and the screen's device caps.
#include "gdi_fixture.h"

using wince::ObjectKind;

TEST_F(GdiTest, StockObjectsAreNotCounted) {
  for (int i : kStockObjects) GetStockObject(i);
  EXPECT_EQ(GetStockObject(9), nullptr) << "a gap in the numbers";
  EXPECT_EQ(dev.accounting().live(ObjectKind::GdiObject), 0);
  EXPECT_EQ(dev.accounting().live(ObjectKind::Dc), 1);
}

TEST_F(GdiTest, AccountingBalancesOverCreateSelectDelete) {
  HFONT font = makeFont(-11);
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

  HDC second = dev.createScreenDc(POINT{0, 0}, {});
  EXPECT_EQ(dev.accounting().live(ObjectKind::Dc), 2);
  EXPECT_TRUE(dev.releaseScreenDc(second));
  EXPECT_FALSE(dev.releaseScreenDc(second));
  EXPECT_FALSE(dev.isLiveDc(second));
  EXPECT_EQ(dev.accounting().live(ObjectKind::Dc), 1);

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
