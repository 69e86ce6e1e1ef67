// The contact sheet, drawn and encoded a band at a time: the title, then
// each row of frames with their captions.
#include "contact_sheet.h"

#include <algorithm>

#include "device.h"
#include "output_file.h"
#include "screenshot.h"
#include "text_painter.h"

namespace crestune {

namespace {

constexpr int kGap = 16;
constexpr int kCaptionHeight = 36;
constexpr int kTitleHeight = 40;
constexpr uint32_t kBackground = 0x00303438;

// Rows of the page's pixels, from `top` down.
struct Band {
  int width, height;
  std::vector<uint32_t> pixels;
  void clear(int rows) {
    height = rows;
    pixels.assign(static_cast<size_t>(width) * rows, kBackground);
  }
};

// The caption under a frame: the step number, then its words, in two lines
// if needed.
void drawCaption(wince::TextPainter& text, Band& band, const std::string& caption, size_t number, int x0, int y0,
                 int cellW) {
  std::u16string line = wince::widen(std::to_string(number) + ". " + caption);
  std::u16string first = line, second;
  int width = 0;
  size_t lastSpace = std::u16string::npos;
  for (size_t k = 0; k < line.size(); ++k) {
    if (line[k] == u' ') lastSpace = k;
    width += text.advance(line[k], 12, false);
    if (width > cellW && lastSpace != std::u16string::npos) {
      first = line.substr(0, lastSpace);
      second = line.substr(lastSpace + 1);
      break;
    }
  }
  text.draw(band.pixels.data(), band.width, band.height, first, x0, y0 + 15, 12, false, 0x00F0F0F0, cellW);
  text.draw(band.pixels.data(), band.width, band.height, second, x0, y0 + 30, 12, false, 0x00F0F0F0, cellW);
}

}  // namespace

void writeContactSheet(const std::string& title, const std::vector<const SheetFrame*>& frames, int columns,
                       const std::filesystem::path& file) {
  if (frames.empty()) return;
  int cellW = 0, cellH = 0;
  for (const SheetFrame* f : frames) {
    cellW = std::max(cellW, f->width);
    cellH = std::max(cellH, f->height);
  }
  columns = std::max(1, std::min<int>(columns, static_cast<int>(frames.size())));
  const int rows = (static_cast<int>(frames.size()) + columns - 1) / columns;
  const int rowHeight = cellH + kCaptionHeight + kGap;
  Band band{kGap + columns * (cellW + kGap), 0, {}};
  wince::PngRowWriter png(band.width, kTitleHeight + rows * rowHeight + kGap);
  wince::TextPainter text;

  band.clear(kTitleHeight);
  text.draw(band.pixels.data(), band.width, band.height, wince::widen(title), kGap, 28, 18, true, 0x00FFFFFF,
            band.width);
  png.rows(band.pixels.data(), band.height);
  for (int row = 0; row < rows; ++row) {
    band.clear(rowHeight);
    for (int column = 0; column < columns; ++column) {
      const size_t i = static_cast<size_t>(row) * columns + column;
      if (i >= frames.size()) break;
      const SheetFrame& f = *frames[i];
      int w = 0, h = 0;
      const std::vector<uint32_t> pixels = wince::decodePng(f.png, w, h);
      const int x0 = kGap + column * (cellW + kGap);
      for (int y = 0; y < std::min(h, cellH); ++y)
        std::copy_n(&pixels[static_cast<size_t>(y) * w], std::min(w, cellW), &band.pixels[static_cast<size_t>(y) * band.width + x0]);
      drawCaption(text, band, f.caption, i + 1, x0, h, cellW);
    }
    png.rows(band.pixels.data(), band.height);
  }
  band.clear(kGap);
  png.rows(band.pixels.data(), band.height);
  wince::writeFileAtomically(file, png.finish());
}

}  // namespace crestune
