// Shared set-up of the graphics tests: a fresh device and one full-screen DC.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "conformance/drawing.h"
#include "device.h"

// What a fixture reads of its device's screen: a pixel, and the pixels in
// `area` that differ from `background` with their bounding box. Made with a
// device the fixture holds; only read once the fixture is up.
class ScreenReading {
 protected:
  explicit ScreenReading(wince::Device& device) : screenOf_(device) {}

  uint32_t px(int x, int y) { return screenOf_.screen().at(x, y); }
  int ink(RECT area = RECT{0, 0, 240, 320}, uint32_t background = kWhite) {
    return inkIn(area, background, [this](int x, int y) { return px(x, y); });
  }
  RECT inkBounds(RECT area = RECT{0, 0, 240, 320}, uint32_t background = kWhite) {
    return inkBoundsIn(area, background, [this](int x, int y) { return px(x, y); });
  }

 private:
  wince::Device& screenOf_;
};

class GdiTest : public ::testing::Test, protected ScreenReading {
 protected:
  GdiTest() : ScreenReading(dev) {}
  wince::Device dev{wince::DeviceOptions{}};
  HDC dc = dev.createScreenDc(POINT{0, 0}, {RECT{0, 0, 240, 320}});

  void TearDown() override { dev.releaseScreenDc(dc); }

  // Back to a white screen, as the device starts.
  void clearScreen() { std::fill(dev.screen().pixels.begin(), dev.screen().pixels.end(), kWhite); }
};
