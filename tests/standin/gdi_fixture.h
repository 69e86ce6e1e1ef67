// Shared set-up of the graphics tests: a fresh device and one full-screen DC.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "conformance/drawing.h"
#include "device.h"

// The screen's pixels in `area` that differ from `background`, and their
// bounding box.
inline int ink(const wince::Screen& screen, RECT area, uint32_t background = kWhite) {
  return inkIn(area, background, [&](int x, int y) { return screen.at(x, y); });
}
inline RECT inkBounds(const wince::Screen& screen, RECT area, uint32_t background = kWhite) {
  return inkBoundsIn(area, background, [&](int x, int y) { return screen.at(x, y); });
}

class GdiTest : public ::testing::Test {
 protected:
  wince::Device dev{wince::DeviceOptions{}};
  HDC dc = dev.createScreenDc(POINT{0, 0}, {RECT{0, 0, 240, 320}});

  void TearDown() override { dev.releaseScreenDc(dc); }

  uint32_t px(int x, int y) { return dev.screen().at(x, y); }

  // Back to a white screen, as the device starts.
  void clearScreen() { std::fill(dev.screen().pixels.begin(), dev.screen().pixels.end(), kWhite); }

  int ink(RECT area = RECT{0, 0, 240, 320}, uint32_t background = kWhite) {
    return ::ink(dev.screen(), area, background);
  }
  RECT inkBounds(RECT area = RECT{0, 0, 240, 320}, uint32_t background = kWhite) {
    return ::inkBounds(dev.screen(), area, background);
  }

  HFONT makeFont(LONG height, LONG weight = FW_NORMAL, BYTE underline = 0) {
    LOGFONTW lf = tahoma(height, weight, underline);
    return CreateFontIndirectW(&lf);
  }
};
