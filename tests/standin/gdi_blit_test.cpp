// Icons and glyphs drawn by row spans must put exactly the pixels that
// drawing them one pixel at a time through the clip would: random icons
// (opaque, transparent and blended pixels), sizes, places, flags and clip
// rectangles (overlapping ones too) against a model of that, DrawIcon at the
// system's icon size, and text through overlapping clips against the same
// text through their union cut into pieces that do not overlap.
#include <windows.h>

#include <cstdlib>
#include <random>

#include "gdi_fixture.h"
#include "icon_image.h"

namespace {

uint32_t blendModel(uint32_t dst, uint32_t src, int a) {
  uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
    out |= static_cast<uint32_t>((s * a + d * (255 - a) + 127) / 255) << shift;
  }
  return out;
}

struct Screen {
  int width, height;
  std::vector<uint32_t>& pixels;
  bool visible(const std::vector<RECT>& clip, int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    for (const RECT& r : clip)
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
  }
};

// DrawIconEx one pixel at a time: nearest source pixel, then the flags.
void modelIcon(Screen s, const std::vector<RECT>& clip, POINT origin, const wince::IconImage& icon, int x, int y,
               int w, int h, UINT flags) {
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const int px = origin.x + x + i, py = origin.y + y + j;
      if (!s.visible(clip, px, py)) continue;
      const uint32_t argb = icon.argb[static_cast<size_t>(j * icon.height / h) * icon.width + i * icon.width / w];
      const int alpha = static_cast<int>(argb >> 24);
      uint32_t& dst = s.pixels[static_cast<size_t>(py) * s.width + px];
      if ((flags & DI_NORMAL) == DI_NORMAL) {
        if (alpha > 0) dst = alpha >= 255 ? (argb & 0xFFFFFF) : blendModel(dst, argb & 0xFFFFFF, alpha);
      } else if (flags & DI_IMAGE) {
        dst = argb & 0xFFFFFF;
      } else if ((flags & DI_MASK) && alpha >= 128) {
        dst = 0;
      }
    }
}

class SpanDrawing : public GdiTest {
 protected:
  std::mt19937 rnd{20261208};
  int upTo(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rnd); }

  // Rows of opaque, transparent and half-transparent stretches, as icons
  // with soft edges have.
  wince::IconImage randomIcon() {
    wince::IconImage img;
    img.width = 1 + upTo(40);
    img.height = 1 + upTo(40);
    for (int i = 0; i < img.width * img.height; ++i) {
      const uint32_t colour = static_cast<uint32_t>(rnd()) & 0xFFFFFF;
      const int kind = upTo(4);
      const uint32_t alpha = kind == 0 ? 0 : kind == 1 ? 1 + upTo(254) : 255;
      img.argb.push_back(alpha << 24 | colour);
    }
    return img;
  }

  RECT randomRect() {
    const int l = upTo(260) - 10, t = upTo(340) - 10;
    return RECT{l, t, l + 1 + upTo(120), t + 1 + upTo(120)};
  }

  void randomScreen() {
    for (uint32_t& p : dev.screen().pixels) p = static_cast<uint32_t>(rnd()) & 0xFFFFFF;
  }
};

TEST_F(SpanDrawing, IconsMatchTheOnePixelAtATimeModel) {
  const UINT flagsChoice[] = {DI_NORMAL, DI_NORMAL, DI_IMAGE, DI_MASK};
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    const wince::IconImage img = randomIcon();
    HICON icon = dev.createIcon(img);
    // One to three clip rectangles, which may overlap and leave the screen.
    std::vector<RECT> clip;
    for (int n = 1 + upTo(3); n > 0; --n) clip.push_back(randomRect());
    const POINT origin{upTo(60) - 20, upTo(60) - 20};
    HDC d = dev.createScreenDc(origin, clip);
    const bool ownSize = upTo(2) == 0;
    const int w = ownSize ? img.width : 1 + upTo(50), h = ownSize ? img.height : 1 + upTo(50);
    const int x = upTo(260) - 20, y = upTo(340) - 20;
    const UINT flags = flagsChoice[upTo(4)];

    randomScreen();
    std::vector<uint32_t> expected = dev.screen().pixels;
    modelIcon(Screen{240, 320, expected}, clip, origin, img, x, y, w, h, flags);
    ASSERT_TRUE(DrawIconEx(d, x, y, icon, ownSize && upTo(2) ? 0 : w, ownSize && upTo(2) ? 0 : h, 0, nullptr, flags));
    ASSERT_EQ(dev.screen().pixels, expected) << img.width << "x" << img.height << " drawn " << w << "x" << h
                                             << " at " << x << "," << y << ", flags " << flags << ", "
                                             << clip.size() << " clip rectangles";
    dev.releaseScreenDc(d);
    DestroyIcon(icon);
  }
  // DrawIcon draws at the system's icon size, 32 pixels.
  const wince::IconImage img = randomIcon();
  HICON icon = dev.createIcon(img);
  randomScreen();
  std::vector<uint32_t> expected = dev.screen().pixels;
  modelIcon(Screen{240, 320, expected}, {RECT{0, 0, 240, 320}}, POINT{0, 0}, img, 100, 10, 32, 32, DI_NORMAL);
  ASSERT_TRUE(DrawIcon(dc, 100, 10, icon));
  EXPECT_EQ(dev.screen().pixels, expected);
  DestroyIcon(icon);
}

// Polyline one point at a time: Bresenham, the end point left out.
void modelLine(Screen s, const std::vector<RECT>& clip, POINT origin, POINT a, POINT b, uint32_t colour) {
  int x0 = a.x, y0 = a.y;
  const int dx = std::abs(b.x - x0), dy = -std::abs(b.y - y0), sx = x0 < b.x ? 1 : -1, sy = y0 < b.y ? 1 : -1;
  int err = dx + dy;
  while (x0 != b.x || y0 != b.y) {
    if (s.visible(clip, origin.x + x0, origin.y + y0))
      s.pixels[static_cast<size_t>(origin.y + y0) * s.width + origin.x + x0] = colour;
    const int e2 = 2 * err;
    if (e2 >= dy) err += dy, x0 += sx;
    if (e2 <= dx) err += dx, y0 += sy;
  }
}

TEST_F(SpanDrawing, LinesAlongRowsAndColumnsMatchThePointByPointModel) {
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    std::vector<RECT> clip;
    for (int n = 1 + upTo(3); n > 0; --n) clip.push_back(randomRect());
    const POINT origin{upTo(40) - 20, upTo(40) - 20};
    HDC d = dev.createScreenDc(origin, clip);
    const uint32_t colour = static_cast<uint32_t>(rnd()) & 0xFFFFFF;
    HPEN pen = CreatePen(PS_SOLID, upTo(2), RGB(colour >> 16, (colour >> 8) & 0xFF, colour & 0xFF));
    HGDIOBJ old = SelectObject(d, pen);
    POINT a{upTo(280) - 20, upTo(360) - 20}, b = a;
    switch (upTo(3)) {
      case 0: b.x = upTo(280) - 20; break;  // along a row, either way
      case 1: b.y = upTo(360) - 20; break;  // along a column
      default: b = POINT{upTo(280) - 20, upTo(360) - 20};
    }
    randomScreen();
    std::vector<uint32_t> expected = dev.screen().pixels;
    modelLine(Screen{240, 320, expected}, clip, origin, a, b, colour);
    POINT points[2] = {a, b};
    ASSERT_TRUE(Polyline(d, points, 2));
    ASSERT_EQ(dev.screen().pixels, expected) << a.x << "," << a.y << " to " << b.x << "," << b.y;
    SelectObject(d, old);
    DeleteObject(pen);
    dev.releaseScreenDc(d);
  }
}

TEST_F(SpanDrawing, TextThroughOverlappingClipsDrawsEachPixelOnce) {
  // The same area as two overlapping rectangles, and as two that only touch.
  const std::vector<RECT> overlapping = {RECT{10, 10, 150, 60}, RECT{90, 30, 230, 90}};
  const std::vector<RECT> apart = {RECT{10, 10, 150, 60}, RECT{150, 30, 230, 90}, RECT{90, 60, 150, 90}};
  HFONT font = tahomaFont(-15, FW_BOLD);
  std::vector<uint32_t> drawn[2];
  for (int i = 0; i < 2; ++i) {
    std::fill(dev.screen().pixels.begin(), dev.screen().pixels.end(), 0x00406080);
    HDC d = dev.createScreenDc(POINT{0, 0}, i == 0 ? overlapping : apart);
    HGDIOBJ old = SelectObject(d, font);
    SetBkMode(d, TRANSPARENT);
    SetTextColor(d, RGB(250, 240, 10));
    for (int line = 0; line < 6; ++line) ExtTextOutW(d, 5 + line * 7, 8 + line * 14, 0, nullptr, u"Crestune &Wg", 12, nullptr);
    SelectObject(d, old);
    dev.releaseScreenDc(d);
    drawn[i] = dev.screen().pixels;
  }
  DeleteObject(font);
  EXPECT_EQ(drawn[0], drawn[1]) << "a blended pixel drawn twice would come out brighter";
  EXPECT_GT(ink(RECT{10, 10, 230, 90}, 0x00406080), 200) << "the text is there";
}

}  // namespace
