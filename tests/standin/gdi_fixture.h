// Shared set-up of the graphics tests: a fresh device and one full-screen DC.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "conformance/fixture.h"
#include "device.h"

constexpr uint32_t kWhite = 0x00FFFFFF;

// Pixels of the screen in `area` that differ from `background`.
inline int ink(const wince::Screen& screen, RECT area, uint32_t background = kWhite) {
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) n += screen.at(x, y) != background;
  return n;
}

// Bounding box of the pixels of the screen in `area` that differ from
// `background`; an empty rectangle when there are none.
inline RECT inkBounds(const wince::Screen& screen, RECT area, uint32_t background = kWhite) {
  RECT b{area.right, area.bottom, area.left, area.top};
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (screen.at(x, y) != background) {
        b.left = std::min<LONG>(b.left, x);
        b.top = std::min<LONG>(b.top, y);
        b.right = std::max<LONG>(b.right, x + 1);
        b.bottom = std::max<LONG>(b.bottom, y + 1);
      }
  if (b.left >= b.right) b = RECT{0, 0, 0, 0};
  return b;
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
