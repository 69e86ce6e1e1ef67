#include "contact_sheet.h"

#include <algorithm>

#include "device.h"
#include "screenshot.h"
#include "text_painter.h"

namespace crestune {

namespace {

constexpr int kGap = 16;
constexpr int kCaptionHeight = 36;
constexpr int kTitleHeight = 40;

struct Page {
  int width, height;
  std::vector<uint32_t> pixels;
};

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
  wince::TextPainter text;
  auto draw = [&](const std::u16string& line, int x, int baseline, int size, bool bold, uint32_t colour,
                  int maxWidth) {
    text.draw(page.pixels.data(), page.width, page.height, line, x, baseline, size, bold, colour, maxWidth);
  };
  draw(wince::widen(title), kGap, 28, 18, true, 0x00FFFFFF, page.width);
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
    int width = 0;
    size_t lastSpace = std::u16string::npos;
    for (size_t k = 0; k < caption.size(); ++k) {
      if (caption[k] == u' ') lastSpace = k;
      width += text.advance(caption[k], 12, false);
      if (width > cellW && lastSpace != std::u16string::npos) {
        first = caption.substr(0, lastSpace);
        second = caption.substr(lastSpace + 1);
        break;
      }
    }
    draw(first, x0, y0 + f.height + 15, 12, false, 0x00F0F0F0, cellW);
    draw(second, x0, y0 + f.height + 30, 12, false, 0x00F0F0F0, cellW);
  }
  wince::writePng(page.width, page.height, page.pixels.data(), file);
}

}  // namespace crestune
