// The stand-in's tables of graphics objects and DCs at their edges: handles
// of objects gone are refused even once their place holds another object,
// handles of one table are never taken for the other's, and glyphs kept
// from one font are never drawn for another.
#include <set>
#include <vector>

#include "gdi_fixture.h"

using wince::ObjectKind;

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
  ASSERT_TRUE(dev.releaseScreenDc(first));
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
  HFONT fonts[3] = {makeFont(-11), makeFont(-16), makeFont(-11, FW_BOLD)};
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
