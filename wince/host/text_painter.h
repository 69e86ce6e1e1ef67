// Text in the device's own font engine, drawn onto pixels that are not the
// device's screen: the captions of a contact sheet, a tool's labels.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

namespace wince {

class TextPainter {
 public:
  TextPainter();
  ~TextPainter();
  TextPainter(const TextPainter&) = delete;
  TextPainter& operator=(const TextPainter&) = delete;

  // How far the pen moves past one character of the system face at a cell
  // height of `size` pixels.
  int advance(char16_t ch, int size, bool bold);
  // Draws one line onto a width x height block of 0x00RRGGBB pixels (rows
  // top to bottom), baseline at y = `baseline`, blending `colour` by each
  // glyph's coverage and clipping to the block. Stops before the first
  // character that would end past x + maxWidth. Answers the width drawn.
  int draw(uint32_t* pixels, int width, int height, const std::u16string& text, int x, int baseline, int size,
           bool bold, uint32_t colour, int maxWidth);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace wince
