// Where the interactive window puts the device's screen and its buttons, at
// any scale; known without a window, so that tests and tools can use it.
#include <algorithm>

#include "interactive.h"

namespace crestune {

InteractiveLayout interactiveLayout(int scale) {
  const int s = std::clamp(scale, 1, 4);
  InteractiveLayout l{};
  l.scale = s;
  l.screenX = 14 * s;
  l.screenY = 24 * s;
  l.width = kDeviceWidth * s + 2 * l.screenX;
  const int gap = 6 * s, buttonsTop = l.screenY + kDeviceHeight * s + 10 * s, buttonHeight = 18 * s;
  l.height = buttonsTop + buttonHeight + 10 * s;
  const int w = (kDeviceWidth * s - 3 * gap) / 4;
  const char* labels[] = {"PLAYER", "OPTIONS", "INSTALL", "UNINSTALL"};
  for (int i = 0; i < 4; ++i) l.buttons.push_back({labels[i], l.screenX + i * (w + gap), buttonsTop, w, buttonHeight});
  return l;
}

}  // namespace crestune
