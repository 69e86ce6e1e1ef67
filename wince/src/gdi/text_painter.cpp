// TextPainter: the font engine the GDI draws with, lent to tools that draw
// text onto their own pixels.
#include "text_painter.h"

#include "gdi/gdi_internal.h"

namespace wince {

struct TextPainter::Impl {
  FontEngine fonts;
  // The engine realises a LOGFONTW; tools name only a size and a weight.
  static LOGFONTW font(int size, bool bold) {
    LOGFONTW lf{};
    lf.lfHeight = -size;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    return lf;
  }
};

TextPainter::TextPainter() : impl_(std::make_unique<Impl>()) {}
TextPainter::~TextPainter() = default;

int TextPainter::advance(char16_t ch, int size, bool bold) {
  LOGFONTW lf = Impl::font(size, bold);
  FontMetrics m = impl_->fonts.realise(lf, 96);
  return impl_->fonts.advance(lf, m, ch);
}

int TextPainter::draw(uint32_t* pixels, int width, int height, const std::u16string& text, int x, int baseline,
                      int size, bool bold, uint32_t colour, int maxWidth) {
  LOGFONTW lf = Impl::font(size, bold);
  FontMetrics m = impl_->fonts.realise(lf, 96);
  auto blend = [&](int px, int py, int alpha) {
    if (px < 0 || py < 0 || px >= width || py >= height) return;
    uint32_t& p = pixels[static_cast<size_t>(py) * width + px];
    auto mix = [&](int shift) {
      int a = (p >> shift) & 0xFF, b = (colour >> shift) & 0xFF;
      return static_cast<uint32_t>((a * (255 - alpha) + b * alpha) / 255) << shift;
    };
    p = mix(16) | mix(8) | mix(0);
  };
  int pen = x;
  for (char16_t c : text) {
    const GlyphImage& g = impl_->fonts.glyph(lf, m, c);
    if (pen + g.advance - x > maxWidth) break;
    for (int gy = 0; gy < g.height; ++gy)
      for (int gx = 0; gx < g.width; ++gx)
        if (int a = g.coverage[static_cast<size_t>(gy) * g.width + gx]) blend(pen + g.left + gx, baseline - g.top + gy, a);
    pen += g.advance;
  }
  return pen - x;
}

}  // namespace wince
