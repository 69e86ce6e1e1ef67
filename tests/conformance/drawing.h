// Set-up of the drawing and text tests: a visible top-level window to draw
// on through its DC and to read back with GetPixel, the same way on the
// stand-in and on Win32.
#pragma once
#include <algorithm>

#include "fixture.h"

constexpr COLORREF kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0), kRed = RGB(255, 0, 0),
                   kGreen = RGB(0, 255, 0), kBlue = RGB(0, 0, 255);

// The pixels in `area` that `read(x, y)` gives as other than `background`.
template <class Read>
int inkIn(RECT area, COLORREF background, Read read) {
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) n += read(x, y) != background;
  return n;
}
// The bounding box of those pixels; empty when there are none.
template <class Read>
RECT inkBoundsIn(RECT area, COLORREF background, Read read) {
  RECT b{area.right, area.bottom, area.left, area.top};
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (read(x, y) != background) {
        b.left = std::min<LONG>(b.left, x);
        b.top = std::min<LONG>(b.top, y);
        b.right = std::max<LONG>(b.right, x + 1);
        b.bottom = std::max<LONG>(b.bottom, y + 1);
      }
  if (b.left >= b.right) b = RECT{0, 0, 0, 0};
  return b;
}

class DrawingTest : public PlatformTest {
 protected:
  static constexpr int kWidth = 240, kHeight = 320;
  static constexpr RECT kAll{0, 0, kWidth, kHeight};
  static constexpr const WCHAR* kClass = TEXT("CrestuneConfDrawing");

  HWND window = nullptr;
  HDC dc = nullptr;  // the window's, white to begin with

  void SetUp() override {
    const WNDCLASSW wc = windowClass(kClass, DefWindowProcW, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ASSERT_NE(RegisterClassW(&wc), 0);
    window = CreateWindowExW(0, kClass, TEXT("Drawing"), WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, kWidth,
                             kHeight, nullptr, nullptr, programInstance(), nullptr);
    ASSERT_NE(window, nullptr);
    platform.pump();  // the first paint
    dc = GetDC(window);
    ASSERT_NE(dc, nullptr);
    clear();
  }
  void TearDown() override {
    if (dc) ReleaseDC(window, dc);
    if (window) DestroyWindow(window);
    platform.pump();
    UnregisterClassW(kClass, programInstance());
    EXPECT_EQ(platform.problems(), std::vector<std::string>{});
  }

  // A child window of `parent` (white, as the class paints it).
  HWND child(HWND parent, RECT r, DWORD style = 0) {
    return CreateWindowExW(0, kClass, TEXT(""), WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, nullptr, programInstance(), nullptr);
  }

  COLORREF px(int x, int y) const { return GetPixel(dc, x, y); }
  void clear() {
    RECT all = kAll;
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  // The pixels in `area` of what `d` draws on that are not `background`.
  static int inkOn(HDC d, RECT area, COLORREF background = kWhite) {
    return inkIn(area, background, [d](int x, int y) { return GetPixel(d, x, y); });
  }
  int ink(RECT area = kAll, COLORREF background = kWhite) const { return inkOn(dc, area, background); }
  RECT inkBounds(RECT area = kAll, COLORREF background = kWhite) const {
    return inkBoundsIn(area, background, [this](int x, int y) { return px(x, y); });
  }
};
