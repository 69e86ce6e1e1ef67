// Tables of DCs and graphics objects, the canvas, and the object API:
// stock objects, creation, selection, deletion, description.
#include "gdi/gdi_state.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <cstring>

#include "device/trace.h"
#include "gdi/gdi_internal.h"

namespace wince {

// ---- Colours and canvas --------------------------------------------------

namespace {
RECT intersect(const RECT& a, const RECT& b) {
  return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}
bool empty(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }
}  // namespace

Canvas::Canvas(Screen& screen, const DcState& dc) : screen_(screen), origin_(dc.origin) {
  const RECT bounds{0, 0, screen.width, screen.height};
  for (const RECT& r : dc.clip) {
    RECT c = intersect(r, bounds);
    if (!empty(c)) clip_.push_back(c);
  }
  noteOverlaps();
}

void Canvas::noteOverlaps() {
  overlapping_ = false;
  for (const RECT* a = clip_.begin(); a != clip_.end(); ++a)
    for (const RECT* b = a + 1; b != clip_.end(); ++b)
      if (!empty(intersect(*a, *b))) overlapping_ = true;
}

void Canvas::restrict(const RECT& logical) {
  const RECT s{sx(logical.left), sy(logical.top), sx(logical.right), sy(logical.bottom)};
  RectList out;
  for (const RECT& r : clip_) {
    RECT c = intersect(r, s);
    if (!empty(c)) out.push_back(c);
  }
  clip_ = out;
  noteOverlaps();
}

bool Canvas::visible(int x, int y) const {
  for (const RECT& r : clip_)
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  return false;
}

void Canvas::put(int x, int y, COLORREF color, int alpha) {
  const int px = sx(x), py = sy(y);
  if (alpha <= 0 || !visible(px, py)) return;
  uint32_t& dst = screen_.pixels[static_cast<size_t>(py) * screen_.width + px];
  const uint32_t src = toScreen(color);
  dst = alpha >= 255 ? src : blendPixel(dst, src, alpha);
}

void Canvas::fill(const RECT& logical, COLORREF color) {
  const RECT s{sx(logical.left), sy(logical.top), sx(logical.right), sy(logical.bottom)};
  const uint32_t v = toScreen(color);
  for (const RECT& r : clip_) {
    const RECT c = intersect(r, s);
    if (empty(c)) continue;
    for (int y = c.top; y < c.bottom; ++y) {
      uint32_t* row = &screen_.pixels[static_cast<size_t>(y) * screen_.width];
      std::fill(row + c.left, row + c.right, v);
    }
  }
}

COLORREF Canvas::get(int x, int y) const {
  const int px = sx(x), py = sy(y);
  if (!visible(px, py)) return CLR_INVALID;
  return toColorRef(screen_.at(px, py));
}

// ---- Tables ----------------------------------------------------------------

namespace {
GdiObject makeBrush(COLORREF c, bool null = false) {
  GdiObject o;
  o.kind = GdiKind::Brush;
  o.brushColor = c;
  o.nullBrush = null;
  return o;
}
GdiObject makePen(UINT style, int width, COLORREF c) {
  GdiObject o;
  o.kind = GdiKind::Pen;
  o.pen.lopnStyle = style;
  o.pen.lopnWidth = POINT{width, 0};
  o.pen.lopnColor = c;
  return o;
}
GdiObject makeFont(const char16_t* face, LONG height, LONG weight) {
  GdiObject o;
  o.kind = GdiKind::Font;
  o.font.lfHeight = height;
  o.font.lfWeight = weight;
  o.font.lfCharSet = ANSI_CHARSET;
  o.font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) o.font.lfFaceName[i] = face[i];
  return o;
}
}  // namespace

GdiState::Impl::Impl() {
  const int dpi = Device::current().screen().dpi;
  auto addStock = [&](int index, GdiObject o) { stock[index] = add(std::move(o), true); };
  addStock(WHITE_BRUSH, makeBrush(RGB(255, 255, 255)));
  addStock(LTGRAY_BRUSH, makeBrush(RGB(192, 192, 192)));
  addStock(GRAY_BRUSH, makeBrush(RGB(128, 128, 128)));
  addStock(DKGRAY_BRUSH, makeBrush(RGB(64, 64, 64)));
  addStock(BLACK_BRUSH, makeBrush(RGB(0, 0, 0)));
  addStock(NULL_BRUSH, makeBrush(0, true));
  addStock(WHITE_PEN, makePen(PS_SOLID, 1, RGB(255, 255, 255)));
  addStock(BLACK_PEN, makePen(PS_SOLID, 1, RGB(0, 0, 0)));
  addStock(NULL_PEN, makePen(PS_NULL, 1, RGB(0, 0, 0)));
  // The device's system font is a regular 9-point Tahoma (its SysFnt
  // registry defaults: Tahoma, weight 0x190); the GUI font an 8-point one.
  addStock(SYSTEM_FONT, makeFont(u"Tahoma", -(12 * dpi / 96), FW_NORMAL));
  addStock(DEFAULT_GUI_FONT, makeFont(u"Tahoma", -(11 * dpi / 96), FW_NORMAL));
}

GdiState::Impl::~Impl() = default;

GdiObject* GdiState::Impl::object(HGDIOBJ h) { return objects.find(reinterpret_cast<uintptr_t>(h)); }

DcState* GdiState::Impl::dc(HDC h) { return dcs.find(reinterpret_cast<uintptr_t>(h)); }

HGDIOBJ GdiState::Impl::add(GdiObject o, bool isStock) {
  o.stock = isStock;
  HGDIOBJ h = reinterpret_cast<HGDIOBJ>(objects.add(std::move(o)));
  if (!h) {
    Device::current().lastError() = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  // Stock objects live as long as the device and are not counted as
  // objects the program holds.
  if (!isStock) Device::current().accounting().acquire(ObjectKind::GdiObject);
  return h;
}

const FontMetrics& GdiState::Impl::metrics(GdiObject& font) {
  if (!font.realised) {
    font.metrics = fonts.realise(font.font, Device::current().screen().dpi);
    font.realised = true;
  }
  return font.metrics;
}

GdiObject& GdiState::Impl::selected(HGDIOBJ h, GdiKind kind, int stockIndex) {
  GdiObject* o = object(h);
  if (!o || o->kind != kind) o = object(stock[stockIndex]);
  return *o;
}

GdiObject& GdiState::Impl::dcFont(DcState& d) {
  GdiObject& f = selected(d.font, GdiKind::Font, SYSTEM_FONT);
  metrics(f);
  return f;
}

bool GdiState::Impl::selectedAnywhere(HGDIOBJ h) const {
  bool found = false;
  dcs.forEach([&](const DcState& d) { found = found || d.font == h || d.pen == h || d.brush == h; });
  return found;
}

GdiState::GdiState() : impl_(std::make_unique<Impl>()) {}
GdiState::~GdiState() = default;

HDC GdiState::createDc(POINT origin, std::vector<RECT> clip) {
  DcState d;
  d.origin = origin;
  d.clip = std::move(clip);
  d.font = impl_->stock[SYSTEM_FONT];
  d.pen = impl_->stock[BLACK_PEN];
  d.brush = impl_->stock[WHITE_BRUSH];
  HDC h = reinterpret_cast<HDC>(impl_->dcs.add(std::move(d)));
  if (h) Device::current().accounting().acquire(ObjectKind::Dc);
  return h;
}

bool GdiState::releaseDc(HDC hdc) {
  if (!impl_->dcs.erase(reinterpret_cast<uintptr_t>(hdc))) return false;
  Device::current().accounting().release(ObjectKind::Dc);
  return true;
}

bool GdiState::isDc(HDC hdc) const { return impl_->dc(hdc) != nullptr; }

bool GdiState::setDcGeometry(HDC hdc, POINT origin, std::vector<RECT> clip) {
  DcState* d = impl_->dc(hdc);
  if (!d) return false;
  d->origin = origin;
  d->clip = std::move(clip);
  return true;
}

bool GdiState::dcOrigin(HDC hdc, POINT* origin) const {
  const DcState* d = impl_->dc(hdc);
  if (!d) return false;
  if (origin) *origin = d->origin;
  return true;
}

std::vector<RECT> GdiState::dcClip(HDC hdc) const {
  const DcState* d = impl_->dc(hdc);
  return d ? d->clip : std::vector<RECT>{};
}

bool GdiState::isFont(HGDIOBJ h) const {
  const GdiObject* o = impl_->object(h);
  return o && o->kind == GdiKind::Font;
}

int GdiState::liveDcs() const { return static_cast<int>(impl_->dcs.size()); }

int GdiState::liveObjects() const {
  int n = 0;
  impl_->objects.forEach([&](const GdiObject& o) { n += o.stock ? 0 : 1; });
  return n;
}

}  // namespace wince

using namespace wince;

// ---- The object API ----------------------------------------------------------

HGDIOBJ WINAPI GetStockObject(int i) {
  WINCE_TRACE("GetStockObject");
  wince_trace_.args(i);
  auto& g = gdiImpl();
  HGDIOBJ h = (i >= 0 && i <= DEFAULT_GUI_FONT) ? g.stock[i] : nullptr;
  return wince_trace_.result(h);
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  WINCE_TRACE("SelectObject");
  wince_trace_.args(hdc, h);
  auto& g = gdiImpl();
  DcState* d = g.dc(hdc);
  GdiObject* o = g.object(h);
  HGDIOBJ previous = nullptr;
  if (d && o) {
    HGDIOBJ* slot = o->kind == GdiKind::Font ? &d->font : o->kind == GdiKind::Pen ? &d->pen : &d->brush;
    previous = *slot;
    *slot = h;
  } else {
    Device::current().lastError() = ERROR_INVALID_HANDLE;
  }
  return wince_trace_.result(previous);
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  WINCE_TRACE("DeleteObject");
  wince_trace_.args(ho);
  auto& g = gdiImpl();
  GdiObject* o = g.object(ho);
  BOOL ok = FALSE;
  if (!o) {
    Device::current().lastError() = ERROR_INVALID_HANDLE;
  } else if (o->stock) {
    ok = TRUE;  // stock objects are never deleted
  } else if (!g.selectedAnywhere(ho)) {
    // An object still selected into a DC stays alive and the call fails.
    g.objects.erase(reinterpret_cast<uintptr_t>(ho));
    Device::current().accounting().release(ObjectKind::GdiObject);
    ok = TRUE;
  }
  return wince_trace_.result(ok);
}

int WINAPI GetObjectW(HGDIOBJ h, int c, LPVOID pv) {
  WINCE_TRACE("GetObjectW");
  wince_trace_.args(h, c, pv);
  GdiObject* o = gdiImpl().object(h);
  int r = 0;
  if (o) {
    LOGBRUSH lb{};
    const void* src = nullptr;
    int size = 0;
    switch (o->kind) {
      case GdiKind::Font:
        src = &o->font;
        size = sizeof(LOGFONTW);
        break;
      case GdiKind::Pen:
        src = &o->pen;
        size = sizeof(LOGPEN);
        break;
      case GdiKind::Brush:
        lb.lbStyle = o->nullBrush ? BS_NULL : BS_SOLID;
        lb.lbColor = o->brushColor;
        src = &lb;
        size = sizeof(LOGBRUSH);
        break;
    }
    if (!pv) {
      r = size;
    } else if (c > 0) {
      r = std::min(c, size);
      std::memcpy(pv, src, static_cast<size_t>(r));
    }
  } else {
    Device::current().lastError() = ERROR_INVALID_HANDLE;
  }
  return wince_trace_.result(r);
}

HFONT WINAPI CreateFontIndirectW(const LOGFONTW* lplf) {
  WINCE_TRACE("CreateFontIndirectW");
  wince_trace_.args(static_cast<const void*>(lplf));
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, HFONT{});
  HFONT h = nullptr;
  if (lplf) {
    GdiObject o;
    o.kind = GdiKind::Font;
    o.font = *lplf;
    o.font.lfFaceName[LF_FACESIZE - 1] = 0;
    h = static_cast<HFONT>(gdiImpl().add(std::move(o)));
  } else {
    Device::current().lastError() = ERROR_INVALID_PARAMETER;
  }
  return wince_trace_.result(h);
}

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
  WINCE_TRACE("CreatePen");
  wince_trace_.args(iStyle, cWidth, color);
  HPEN h = nullptr;
  if (iStyle == PS_SOLID || iStyle == PS_DASH || iStyle == PS_NULL) {
    GdiObject o = makePen(static_cast<UINT>(iStyle), std::max(cWidth, 0), color & 0x00FFFFFF);
    h = static_cast<HPEN>(gdiImpl().add(std::move(o)));
  } else {
    Device::current().lastError() = ERROR_INVALID_PARAMETER;
  }
  return wince_trace_.result(h);
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  WINCE_TRACE("CreateSolidBrush");
  wince_trace_.args(color);
  HBRUSH h = static_cast<HBRUSH>(gdiImpl().add(makeBrush(color & 0x00FFFFFF)));
  return wince_trace_.result(h);
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
  WINCE_TRACE("GetDeviceCaps");
  wince_trace_.args(hdc, index);
  int r = 0;
  if (gdiImpl().dc(hdc)) {
    const Screen& s = Device::current().screen();
    switch (index) {
      case HORZRES: r = s.width; break;
      case VERTRES: r = s.height; break;
      case HORZSIZE: r = s.width * 254 / (s.dpi * 10); break;
      case VERTSIZE: r = s.height * 254 / (s.dpi * 10); break;
      case LOGPIXELSX:
      case LOGPIXELSY: r = s.dpi; break;
      case BITSPIXEL: r = 32; break;
      case PLANES: r = 1; break;
      case NUMCOLORS: r = -1; break;
      default: r = 0; break;
    }
  }
  return wince_trace_.result(r);
}

// Sets one of a DC's colours; answers the one it had, or CLR_INVALID for a
// handle that is no DC.
static COLORREF swapColor(HDC hdc, COLORREF DcState::*which, COLORREF color) {
  DcState* d = gdiImpl().dc(hdc);
  if (!d) return CLR_INVALID;
  return std::exchange(d->*which, color & 0x00FFFFFF);
}

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  WINCE_TRACE("SetTextColor");
  wince_trace_.args(hdc, color);
  return wince_trace_.result(swapColor(hdc, &DcState::textColor, color));
}

COLORREF WINAPI GetTextColor(HDC hdc) {
  WINCE_TRACE("GetTextColor");
  wince_trace_.args(hdc);
  DcState* d = gdiImpl().dc(hdc);
  return wince_trace_.result(d ? d->textColor : CLR_INVALID);
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  WINCE_TRACE("SetBkColor");
  wince_trace_.args(hdc, color);
  return wince_trace_.result(swapColor(hdc, &DcState::bkColor, color));
}

int WINAPI SetBkMode(HDC hdc, int mode) {
  WINCE_TRACE("SetBkMode");
  wince_trace_.args(hdc, mode);
  DcState* d = gdiImpl().dc(hdc);
  int previous = 0;
  if (d && (mode == TRANSPARENT || mode == OPAQUE)) {
    previous = d->bkMode;
    d->bkMode = mode;
  }
  return wince_trace_.result(previous);
}

int WINAPI GetBkMode(HDC hdc) {
  WINCE_TRACE("GetBkMode");
  wince_trace_.args(hdc);
  DcState* d = gdiImpl().dc(hdc);
  return wince_trace_.result(d ? d->bkMode : 0);
}
