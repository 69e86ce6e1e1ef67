// Pixels, lines, shapes, rectangle fills, icons and system colours.
#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "device/trace.h"
#include "gdi/gdi_internal.h"
#include "kernel/resources.h"

using namespace wince;

namespace {

constexpr DWORD kSysColorFlag = 0x40000000;  // the device's marking of system colour indices

// The device's colour scheme, by COLOR_xxx index.
constexpr COLORREF kSysColors[] = {
    RGB(192, 192, 192),  //  0 scroll bar
    RGB(255, 255, 255),  //  1 desktop
    RGB(0, 0, 128),      //  2 active caption
    RGB(128, 128, 128),  //  3 inactive caption
    RGB(255, 255, 255),  //  4 menu
    RGB(255, 255, 255),  //  5 window
    RGB(0, 0, 0),        //  6 window frame
    RGB(0, 0, 0),        //  7 menu text
    RGB(0, 0, 0),        //  8 window text
    RGB(255, 255, 255),  //  9 caption text
    RGB(192, 192, 192),  // 10 active border
    RGB(192, 192, 192),  // 11 inactive border
    RGB(128, 128, 128),  // 12 application workspace
    RGB(0, 0, 128),      // 13 highlight
    RGB(255, 255, 255),  // 14 highlight text
    RGB(192, 192, 192),  // 15 button face
    RGB(128, 128, 128),  // 16 button shadow
    RGB(128, 128, 128),  // 17 grey text
    RGB(0, 0, 0),        // 18 button text
    RGB(192, 192, 192),  // 19 inactive caption text
    RGB(255, 255, 255),  // 20 button highlight
    RGB(0, 0, 0),        // 21 3D dark shadow
    RGB(192, 192, 192),  // 22 3D light
    RGB(0, 0, 0),        // 23 tooltip text
    RGB(255, 255, 225),  // 24 tooltip background
    RGB(255, 255, 255),  // 25 static background
    RGB(0, 0, 0),        // 26 static text
};
constexpr int kSysColorCount = sizeof(kSysColors) / sizeof(kSysColors[0]);

bool sysColor(DWORD index, COLORREF* out) {
  index &= ~kSysColorFlag;
  if (index >= static_cast<DWORD>(kSysColorCount)) return false;
  *out = kSysColors[index];
  return true;
}

// The colour a brush handle fills with: a brush object, or COLOR_xxx + 1.
// Returns false for a handle that is neither; *null for the null brush.
bool brushColor(HBRUSH hbr, COLORREF* color, bool* null) {
  *null = false;
  if (GdiObject* o = gdiImpl().object(hbr); o && o->kind == GdiKind::Brush) {
    *null = o->nullBrush;
    *color = o->brushColor;
    return true;
  }
  const uintptr_t v = reinterpret_cast<uintptr_t>(hbr);
  if (v == 0 || v > 0xFFFFFFFF) return false;
  return sysColor(static_cast<DWORD>(v - 1), color);
}

// Strokes of the selected pen. Dashes run on across the points of one call.
struct PenStroke {
  Canvas& canvas;
  const LOGPEN& pen;
  int step = 0;

  void plot(int x, int y) {
    if (pen.lopnStyle == PS_NULL) return;
    if (pen.lopnStyle == PS_DASH && (step++ % 8) >= 6) return;
    const int w = std::max<int>(1, pen.lopnWidth.x);
    if (w == 1) {
      canvas.put(x, y, pen.lopnColor);
      return;
    }
    // A round nib, centred on the point.
    const int lo = -(w / 2), hi = lo + w;
    const double r = w / 2.0;
    for (int dy = lo; dy < hi; ++dy)
      for (int dx = lo; dx < hi; ++dx) {
        const double fx = dx + 0.5 - (lo + r), fy = dy + 0.5 - (lo + r);
        if (w <= 3 || fx * fx + fy * fy <= r * r) canvas.put(x + dx, y + dy, pen.lopnColor);
      }
  }

  // Bresenham from (x0, y0) to (x1, y1), leaving out the end point.
  void line(int x0, int y0, int x1, int y1) {
    // A solid one-pixel pen along a row or a column: the same pixels as one
    // fill, which clips once instead of at every point.
    if (pen.lopnStyle == PS_SOLID && pen.lopnWidth.x <= 1 && (x0 == x1 || y0 == y1)) {
      if (x0 == x1 && y0 == y1) return;
      const RECT span = y0 == y1 ? RECT{std::min(x0, x1 + 1), y0, std::max(x0 + 1, x1), y0 + 1}
                                 : RECT{x0, std::min(y0, y1 + 1), x0 + 1, std::max(y0 + 1, y1)};
      canvas.fill(span, pen.lopnColor);
      return;
    }
    const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
      plot(x0, y0);
      const int e2 = 2 * err;
      if (e2 >= dy) {
        err += dy;
        x0 += sx;
      }
      if (e2 <= dx) {
        err += dx;
        y0 += sy;
      }
    }
  }
};

const LOGPEN& selectedPen(DcState& d) { return gdiImpl().selected(d.pen, GdiKind::Pen, BLACK_PEN).pen; }

// The selected brush's colour; false for the null brush.
bool selectedBrush(DcState& d, COLORREF* color) {
  const GdiObject& b = gdiImpl().selected(d.brush, GdiKind::Brush, WHITE_BRUSH);
  *color = b.brushColor;
  return !b.nullBrush;
}

// What Rectangle and Ellipse draw with: the DC's canvas, its pen and its
// brush's colour (filled is false for the null brush). The corners are put in
// order, as GDI accepts them either way round.
struct ShapeTools {
  Canvas canvas;
  const LOGPEN& pen;
  COLORREF fill = 0;
  bool filled;
  ShapeTools(DcState& d, int& left, int& top, int& right, int& bottom)
      : canvas(Device::current().screen(), d), pen(selectedPen(d)), filled(selectedBrush(d, &fill)) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
  }
};

}  // namespace

COLORREF WINAPI SetPixel(HDC hdc, int x, int y, COLORREF color) {
  WINCE_TRACE("SetPixel");
  wince_trace_.args(hdc, x, y, color);
  DcState* d = gdiImpl().dc(hdc);
  if (!d) return wince_trace_.result(CLR_INVALID);
  Canvas canvas(Device::current().screen(), *d);
  if (!canvas.visible(canvas.sx(x), canvas.sy(y))) return wince_trace_.result(CLR_INVALID);
  canvas.put(x, y, color & 0x00FFFFFF);
  return wince_trace_.result(canvas.get(x, y));
}

COLORREF WINAPI GetPixel(HDC hdc, int x, int y) {
  WINCE_TRACE("GetPixel");
  wince_trace_.args(hdc, x, y);
  DcState* d = gdiImpl().dc(hdc);
  if (!d) return wince_trace_.result(CLR_INVALID);
  Canvas canvas(Device::current().screen(), *d);
  return wince_trace_.result(canvas.get(x, y));
}

BOOL WINAPI Polyline(HDC hdc, const POINT* apt, int cpt) {
  WINCE_TRACE("Polyline");
  wince_trace_.args(hdc, static_cast<const void*>(apt), cpt);
  DcState* d = gdiImpl().dc(hdc);
  if (!d || !apt || cpt < 2) return wince_trace_.result(FALSE);
  Canvas canvas(Device::current().screen(), *d);
  PenStroke stroke{canvas, selectedPen(*d)};
  for (int i = 0; i + 1 < cpt; ++i) stroke.line(apt[i].x, apt[i].y, apt[i + 1].x, apt[i + 1].y);
  return wince_trace_.result(TRUE);
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  WINCE_TRACE("Rectangle");
  wince_trace_.args(hdc, left, top, right, bottom);
  DcState* d = gdiImpl().dc(hdc);
  if (!d) return wince_trace_.result(FALSE);
  ShapeTools tools(*d, left, top, right, bottom);
  auto& [canvas, pen, fill, filled] = tools;
  if (pen.lopnStyle == PS_NULL) {
    // Without a pen the filled area is one pixel smaller on the right and
    // at the bottom.
    if (filled) canvas.fill(RECT{left, top, right - 1, bottom - 1}, fill);
    return wince_trace_.result(TRUE);
  }
  const int w = std::max<int>(1, pen.lopnWidth.x);
  if (filled) canvas.fill(RECT{left + w, top + w, right - w, bottom - w}, fill);
  if (w == 1) {
    PenStroke stroke{canvas, pen};
    stroke.line(left, top, right - 1, top);
    stroke.line(right - 1, top, right - 1, bottom - 1);
    stroke.line(right - 1, bottom - 1, left, bottom - 1);
    stroke.line(left, bottom - 1, left, top);
  } else {
    // Wide pens frame the rectangle from the inside.
    canvas.fill(RECT{left, top, right, std::min(bottom, top + w)}, pen.lopnColor);
    canvas.fill(RECT{left, std::max(top, bottom - w), right, bottom}, pen.lopnColor);
    canvas.fill(RECT{left, top, std::min(right, left + w), bottom}, pen.lopnColor);
    canvas.fill(RECT{std::max(left, right - w), top, right, bottom}, pen.lopnColor);
  }
  return wince_trace_.result(TRUE);
}

BOOL WINAPI Ellipse(HDC hdc, int left, int top, int right, int bottom) {
  WINCE_TRACE("Ellipse");
  wince_trace_.args(hdc, left, top, right, bottom);
  DcState* d = gdiImpl().dc(hdc);
  if (!d) return wince_trace_.result(FALSE);
  ShapeTools tools(*d, left, top, right, bottom);
  auto& [canvas, pen, fill, filled] = tools;
  const int w = pen.lopnStyle == PS_NULL ? 0 : std::max<int>(1, pen.lopnWidth.x);
  const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
  const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0;
  auto inside = [&](int x, int y, double shrink) {
    const double ax = rx - shrink, ay = ry - shrink;
    if (ax <= 0 || ay <= 0) return false;
    const double fx = (x + 0.5 - cx) / ax, fy = (y + 0.5 - cy) / ay;
    return fx * fx + fy * fy <= 1.0;
  };
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      if (!inside(x, y, 0)) continue;
      if (w > 0 && !inside(x, y, w))
        canvas.put(x, y, pen.lopnColor);
      else if (filled)
        canvas.put(x, y, fill);
    }
  return wince_trace_.result(TRUE);
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
  WINCE_TRACE("FillRect");
  wince_trace_.args(hDC, static_cast<const void*>(lprc), static_cast<const void*>(hbr));
  DcState* d = gdiImpl().dc(hDC);
  COLORREF color = 0;
  bool null = false;
  if (!d || !lprc || !brushColor(hbr, &color, &null)) return wince_trace_.result(0);
  if (!null) {
    Canvas canvas(Device::current().screen(), *d);
    canvas.fill(*lprc, color);
  }
  return wince_trace_.result(1);
}

DWORD WINAPI GetSysColor(int nIndex) {
  WINCE_TRACE("GetSysColor");
  wince_trace_.args(nIndex);
  COLORREF c = 0;
  sysColor(static_cast<DWORD>(nIndex), &c);
  return wince_trace_.result(static_cast<DWORD>(c));
}

namespace {

// An icon at its own size with DI_NORMAL: the opaque runs of each row
// copied, the partly transparent ones blended; `part` is in screen
// coordinates and (left, top) is where the icon's first pixel goes.
void blitRuns(Canvas& canvas, const PreparedIcon& icon, int left, int top, const RECT& part) {
  const int width = icon.image.width;
  for (int y = part.top; y < part.bottom; ++y) {
    const int j = y - top;
    const uint32_t* src = icon.rgb.data() + static_cast<size_t>(j) * width;
    const uint32_t* argb = icon.image.argb.data() + static_cast<size_t>(j) * width;
    uint32_t* dst = canvas.row(y) + left;
    const int from = part.left - left, to = part.right - left;
    for (uint32_t k = icon.rows[j]; k < icon.rows[j + 1]; ++k) {
      const IconRun& run = icon.runs[k];
      const int a = std::max(run.x, from), b = std::min(run.x + run.length, to);
      if (a >= b) continue;
      if (run.opaque) {
        std::copy(src + a, src + b, dst + a);
      } else {
        for (int i = a; i < b; ++i) dst[i] = blendPixel(dst[i], src[i], static_cast<int>(argb[i] >> 24));
      }
    }
  }
}

// Any size and any of DI_NORMAL, DI_IMAGE, DI_MASK: each pixel from the
// nearest source pixel.
void blitScaled(Canvas& canvas, const PreparedIcon& icon, int left, int top, int w, int h, UINT flags,
                const RECT& part) {
  const IconImage& image = icon.image;
  for (int y = part.top; y < part.bottom; ++y) {
    const int sy = static_cast<int>(static_cast<long long>(y - top) * image.height / h);
    const uint32_t* src = image.argb.data() + static_cast<size_t>(sy) * image.width;
    uint32_t* dst = canvas.row(y);
    for (int x = part.left; x < part.right; ++x) {
      const uint32_t argb = src[static_cast<long long>(x - left) * image.width / w];
      const int alpha = static_cast<int>(argb >> 24);
      const uint32_t colour = argb & 0x00FFFFFF;
      if ((flags & DI_NORMAL) == DI_NORMAL) {
        if (alpha > 0) dst[x] = alpha >= 255 ? colour : blendPixel(dst[x], colour, alpha);
      } else if (flags & DI_IMAGE) {
        dst[x] = colour;
      } else if ((flags & DI_MASK) && alpha >= 128) {
        dst[x] = 0;
      }
    }
  }
}

}  // namespace

BOOL WINAPI DrawIconEx(HDC hdc, int xLeft, int yTop, HICON hIcon, int cxWidth, int cyWidth, UINT istepIfAniCur,
                       HBRUSH hbrFlickerFreeDraw, UINT diFlags) {
  WINCE_TRACE("DrawIconEx");
  wince_trace_.args(hdc, xLeft, yTop, static_cast<const void*>(hIcon), cxWidth, cyWidth, istepIfAniCur,
                    static_cast<const void*>(hbrFlickerFreeDraw), diFlags);
  DcState* d = gdiImpl().dc(hdc);
  const PreparedIcon* icon = Device::current().resources().prepared(hIcon);
  if (!d || !icon || icon->image.width <= 0 || icon->image.height <= 0) return wince_trace_.result(FALSE);
  const int w = cxWidth > 0 ? cxWidth : icon->image.width;
  const int h = cyWidth > 0 ? cyWidth : icon->image.height;
  Canvas canvas(Device::current().screen(), *d);
  const RECT area{xLeft, yTop, xLeft + w, yTop + h};
  if (hbrFlickerFreeDraw) {
    COLORREF bg = 0;
    bool null = false;
    if (brushColor(hbrFlickerFreeDraw, &bg, &null) && !null) canvas.fill(area, bg);
  }
  const int left = canvas.sx(xLeft), top = canvas.sy(yTop);
  const bool ownSize = w == icon->image.width && h == icon->image.height;
  canvas.clipped(area, [&](const RECT& part) {
    if (ownSize && (diFlags & DI_NORMAL) == DI_NORMAL)
      blitRuns(canvas, *icon, left, top, part);
    else
      blitScaled(canvas, *icon, left, top, w, h, diFlags, part);
  });
  return wince_trace_.result(TRUE);
}

BOOL WINAPI DrawIcon(HDC hDC, int X, int Y, HICON hIcon) {
  WINCE_TRACE("DrawIcon");
  wince_trace_.args(hDC, X, Y, static_cast<const void*>(hIcon));
  // Drawn at the system's icon size.
  const int size = 32 * Device::current().screen().dpi / 96;
  return wince_trace_.result(DrawIconEx(hDC, X, Y, hIcon, size, size, 0, nullptr, DI_NORMAL));
}
