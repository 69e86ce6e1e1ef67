// The interactive window's labels in a 5x7 dot face of its own, and its
// rounded shapes.
#include "interactive_draw.h"

#if CRESTUNE_HAVE_SDL2
#include <algorithm>

namespace crestune::frame_draw {

namespace {

const char* glyph(char c) {
  switch (c) {
    case 'A': return "01110100011000111111100011000110001";
    case 'C': return "01110100011000010000100001000101110";
    case 'E': return "11111100001000011110100001000011111";
    case 'I': return "01110001000010000100001000010001110";
    case 'L': return "10000100001000010000100001000011111";
    case 'N': return "10001110011010110011100011000110001";
    case 'O': return "01110100011000110001100011000101110";
    case 'P': return "11110100011000111110100001000010000";
    case 'R': return "11110100011000111110101001001010001";
    case 'S': return "01111100001000001110000010000111110";
    case 'T': return "11111001000010000100001000010000100";
    case 'U': return "10001100011000110001100011000101110";
    case 'Y': return "10001100010101000100001000010000100";
  }
  return nullptr;
}

}  // namespace

int textWidth(const std::string& s, int dot) { return s.empty() ? 0 : (static_cast<int>(s.size()) * 6 - 1) * dot; }

void drawText(SDL_Renderer* r, const std::string& s, int x, int y, int dot) {
  for (char c : s) {
    if (const char* g = glyph(c))
      for (int i = 0; i < 35; ++i)
        if (g[i] == '1') {
          SDL_Rect d{x + (i % 5) * dot, y + (i / 5) * dot, dot, dot};
          SDL_RenderFillRect(r, &d);
        }
    x += 6 * dot;
  }
}

void fillRounded(SDL_Renderer* r, int x, int y, int w, int h, int radius) {
  radius = std::min({radius, w / 2, h / 2});
  for (int row = 0; row < h; ++row) {
    int inset = 0;
    int dy = row < radius ? radius - row : row >= h - radius ? row - (h - radius - 1) : 0;
    if (dy > 0) {
      double dx = radius - SDL_sqrt(static_cast<double>(radius * radius - (dy - 0.5) * (dy - 0.5)));
      inset = static_cast<int>(dx + 0.5);
    }
    SDL_RenderDrawLine(r, x + inset, y + row, x + w - 1 - inset, y + row);
  }
}

void setColour(SDL_Renderer* r, uint32_t rgb) {
  SDL_SetRenderDrawColor(r, static_cast<Uint8>(rgb >> 16), static_cast<Uint8>(rgb >> 8), static_cast<Uint8>(rgb), 255);
}

void drawBody(SDL_Renderer* r, const InteractiveLayout& layout) {
  const int s = layout.scale;
  setColour(r, 0x1B1E24);
  SDL_RenderClear(r);
  // The body: a dark rounded case with a lighter rim.
  setColour(r, 0x4A505C);
  fillRounded(r, 0, 0, layout.width, layout.height, 18 * s);
  setColour(r, 0x2C3039);
  fillRounded(r, s, s, layout.width - 2 * s, layout.height - 2 * s, 17 * s);
  // The speaker slot and the name above the screen.
  setColour(r, 0x15171C);
  fillRounded(r, layout.width / 2 - 20 * s, 5 * s, 40 * s, 3 * s, s);
  setColour(r, 0x9AA3B5);
  const std::string name = "CRESTUNE";
  drawText(r, name, (layout.width - textWidth(name, s)) / 2, 11 * s, s);
  // The screen in a black bezel.
  setColour(r, 0x000000);
  SDL_Rect bezel{layout.screenX - 2 * s, layout.screenY - 2 * s, (kDeviceWidth + 4) * s, (kDeviceHeight + 4) * s};
  SDL_RenderFillRect(r, &bezel);
}

}  // namespace crestune::frame_draw
#endif
