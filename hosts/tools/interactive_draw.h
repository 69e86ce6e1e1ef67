// The interactive window's own drawing on an SDL renderer: its 5x7 dot
// labels and rounded shapes, drawn without the device or a font library.
#pragma once
#if CRESTUNE_HAVE_SDL2
#include <SDL.h>

#include <cstdint>
#include <string>

#include "interactive.h"

namespace crestune::frame_draw {

// Width of a label drawn with dots `dot` pixels wide.
int textWidth(const std::string& s, int dot);
// A label in capitals (the letters of the body's buttons and name).
void drawText(SDL_Renderer* r, const std::string& s, int x, int y, int dot);
// A rectangle with rounded corners, one row at a time.
void fillRounded(SDL_Renderer* r, int x, int y, int w, int h, int radius);
void setColour(SDL_Renderer* r, uint32_t rgb);
// What never changes: the case with its rim, the speaker slot and the name
// above the screen, and the screen's black bezel.
void drawBody(SDL_Renderer* r, const InteractiveLayout& layout);

}  // namespace crestune::frame_draw
#endif
