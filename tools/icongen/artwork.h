// The product's icons, drawn as code.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "canvas.h"

namespace icongen {

struct IconArt {
  std::string file;          // output file name, "icon_111.ico"
  std::vector<int> sizes;    // square images in the order they are stored
  int bitsPerPixel;          // 32 (alpha) or 8 (256 colours)
  std::function<void(Canvas&)> draw;  // draws on a 24-unit design square
};

// Every icon of the item library (101, the button faces) and of setup (102).
std::vector<IconArt> allIcons();

// Units across the design square that every draw function works on.
double designSize();

}  // namespace icongen
