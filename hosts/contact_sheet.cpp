#include "contact_sheet.h"

#include <algorithm>

#include "device/device.h"
#include "device/png.h"
#include "gdi/gdi_internal.h"

namespace crestune {

namespace {

constexpr int kGap = 16;
constexpr int kCaptionHeight = 36;
constexpr int kTitleHeight = 40;

struct Page {
  int width, height;
  std::vector<uint32_t> pixels;
  void blend(int x, int y, uint32_t colour, int alpha) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    uint32_t& p = pixels[static_cast<size_t>(y) * width + x];
    auto mix = [&](int shift) {
      int a = (p >> shift) & 0xFF, b = (colour >> shift) & 0xFF;
      return static_cast<uint32_t>((a * (255 - alpha) + b * alpha) / 255) << shift;
    };
    p = mix(16) | mix(8) | mix(0);
  }
};

// Draws one line of text with the device's own font engine; answers its width.
int drawText(Page& page, wince::FontEngine& fonts, const std::u16string& text, int x, int baseline, int pixels,
             bool bold, uint32_t colour, int maxWidth) {
  LOGFONTW lf{};
  lf.lfHeight = -pixels;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  wince::FontMetrics m = fonts.realise(lf, 96);
  int pen = x;
  for (char16_t c : text) {
    const wince::GlyphImage& g = fonts.glyph(lf, m, c);
    if (pen + g.advance - x > maxWidth) break;
    for (int gy = 0; gy < g.height; ++gy)
      for (int gx = 0; gx < g.width; ++gx) {
        int a = g.coverage[static_cast<size_t>(gy) * g.width + gx];
        if (a) page.blend(pen + g.left + gx, baseline - g.top + gy, colour, a);
      }
    pen += g.advance;
  }
  return pen - x;
}

}  // namespace

void writeContactSheet(const std::string& title, const std::vector<SheetFrame>& frames, int columns,
                       const std::filesystem::path& file) {
  if (frames.empty()) return;
  int cellW = 0, cellH = 0;
  for (const auto& f : frames) {
    cellW = std::max(cellW, f.width);
    cellH = std::max(cellH, f.height);
  }
  columns = std::max(1, std::min<int>(columns, static_cast<int>(frames.size())));
  int rows = (static_cast<int>(frames.size()) + columns - 1) / columns;
  Page page{kGap + columns * (cellW + kGap), kTitleHeight + rows * (cellH + kCaptionHeight + kGap) + kGap, {}};
  page.pixels.assign(static_cast<size_t>(page.width) * page.height, 0x00303438);
  wince::FontEngine fonts;
  drawText(page, fonts, wince::widen(title), kGap, 28, 18, true, 0x00FFFFFF, page.width);
  for (size_t i = 0; i < frames.size(); ++i) {
    const SheetFrame& f = frames[i];
    int x0 = kGap + static_cast<int>(i % columns) * (cellW + kGap);
    int y0 = kTitleHeight + static_cast<int>(i / columns) * (cellH + kCaptionHeight + kGap);
    for (int y = 0; y < f.height; ++y)
      std::copy_n(&f.pixels[static_cast<size_t>(y) * f.width], f.width,
                  &page.pixels[static_cast<size_t>(y0 + y) * page.width + x0]);
    // The caption: the step number, then its words, in two lines if needed.
    std::u16string caption = wince::widen(std::to_string(i + 1) + ". " + f.caption);
    std::u16string first = caption, second;
    LOGFONTW lf{};
    lf.lfHeight = -12;
    wince::FontMetrics m = fonts.realise(lf, 96);
    int width = 0;
    size_t lastSpace = std::u16string::npos;
    for (size_t k = 0; k < caption.size(); ++k) {
      if (caption[k] == u' ') lastSpace = k;
      width += fonts.advance(lf, m, caption[k]);
      if (width > cellW && lastSpace != std::u16string::npos) {
        first = caption.substr(0, lastSpace);
        second = caption.substr(lastSpace + 1);
        break;
      }
    }
    drawText(page, fonts, first, x0, y0 + f.height + 15, 12, false, 0x00F0F0F0, cellW);
    drawText(page, fonts, second, x0, y0 + f.height + 30, 12, false, 0x00F0F0F0, cellW);
  }
  wince::writePng(page.width, page.height, page.pixels.data(), file);
}

}  // namespace crestune
