// The paint cycle: update areas, WM_PAINT, device contexts of windows, and
// the non-client area (caption bar and border) that the system draws.
#include <windows.h>

#include <utility>

#include "device/trace.h"
#include "gdi/gdi_state.h"
#include "user/wm_impl.h"

namespace wince {

namespace {
// Where a window's DC draws: its origin and the part of the screen it may
// reach, limited to `limit` (client coordinates) when given.
std::pair<POINT, std::vector<RECT>> dcGeometry(const Window& w, bool client, const RECT* limit) {
  std::vector<RECT> region = visibleRegion(w, client);
  RECT origin = client ? clientScreenRect(w) : screenRect(w);
  if (limit) {
    RECT onScreen{limit->left + origin.left, limit->top + origin.top, limit->right + origin.left,
                  limit->bottom + origin.top};
    std::vector<RECT> limited;
    for (const RECT& r : region)
      if (RECT x = rectIntersect(r, onScreen); !rectEmpty(x)) limited.push_back(x);
    region = std::move(limited);
  }
  return {POINT{origin.left, origin.top}, std::move(region)};
}

HDC windowDc(const Window& w, const RECT* limit, bool client) {
  auto [origin, region] = dcGeometry(w, client, limit);
  HDC dc = Device::current().gdi().createDc(origin, std::move(region));
  if (dc) wm().heldDcs[dc] = {w.handle, client, limit != nullptr, limit ? *limit : RECT{}};
  return dc;
}

bool releaseWindowDc(HDC dc) {
  wm().heldDcs.erase(dc);
  return Device::current().gdi().releaseDc(dc);
}
}  // namespace

void refreshHeldDcs() {
  auto& held = wm().heldDcs;
  GdiState& gdi = Device::current().gdi();
  for (auto it = held.begin(); it != held.end();) {
    if (!gdi.isDc(it->first)) {
      it = held.erase(it);
      continue;
    }
    const auto& h = it->second;
    if (const Window* w = wm().get(h.window)) {
      auto [origin, region] = dcGeometry(*w, h.client, h.limited ? &h.limit : nullptr);
      gdi.setDcGeometry(it->first, origin, std::move(region));
    } else {
      POINT origin{};
      gdi.dcOrigin(it->first, &origin);
      gdi.setDcGeometry(it->first, origin, {});
    }
    ++it;
  }
}

HDC beginSystemPaint(HWND h, PAINTSTRUCT& ps, RECT& client) {
  HDC dc = BeginPaint(h, &ps);
  GetClientRect(h, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  return dc;
}

void frameRect(HDC dc, const RECT& r) {
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
}

void paintNonClient(Window& w) {
  w.nonClientDirty = false;
  RECT in = clientInsets(w);
  if (in.left == 0 && in.top == 0) return;
  HDC dc = windowDc(w, nullptr, false);
  RECT whole = screenRect(w);
  int width = whole.right - whole.left, height = whole.bottom - whole.top;
  frameRect(dc, RECT{0, 0, width, height});
  if (in.top > 1) {
    // The caption bar: the title in white on the system's highlight colour.
    HBRUSH bar = CreateSolidBrush(RGB(0, 0, 132));
    RECT r{1, 1, width - 1, in.top};
    FillRect(dc, &r, bar);
    DeleteObject(bar);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT t{5, 1, width - 4, in.top};
    DrawTextW(dc, w.text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  }
  releaseWindowDc(dc);
}

}  // namespace wince

using namespace wince;

WINUSERAPI BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* rect, BOOL erase) {
  WINCE_TRACE("InvalidateRect");
  if (rect)
    wince_trace_.args(hWnd, rect->left, rect->top, rect->right, rect->bottom, erase);
  else
    wince_trace_.args(hWnd, static_cast<const void*>(nullptr), erase);
  if (!hWnd) {
    invalidateScreen(RECT{0, 0, Device::current().screen().width, Device::current().screen().height});
    return wince_trace_.result(TRUE);
  }
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(FALSE);
  RECT c = clientScreenRect(*w);
  RECT client{0, 0, c.right - c.left, c.bottom - c.top};
  RECT r = rect ? rectIntersect(*rect, client) : client;
  if (!rectEmpty(r)) {
    w->invalid = rectUnion(w->invalid, r);
    if (erase) w->erase = true;
  }
  return wince_trace_.result(TRUE);
}

WINUSERAPI BOOL WINAPI ValidateRect(HWND hWnd, const RECT*) {
  Window* w = windowOf(hWnd);
  if (!w) return FALSE;
  w->invalid = RECT{};
  w->erase = false;
  return TRUE;
}

WINUSERAPI BOOL WINAPI UpdateWindow(HWND hWnd) {
  WINCE_TRACE("UpdateWindow");
  wince_trace_.args(hWnd);
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(FALSE);
  if (w->nonClientDirty && isVisible(*w)) paintNonClient(*w);
  if (!rectEmpty(w->invalid) && isVisible(*w)) {
    SendMessageW(hWnd, WM_PAINT, 0, 0);
    if (Window* after = wm().get(hWnd)) after->invalid = RECT{};
  }
  return wince_trace_.result(TRUE);
}

WINUSERAPI HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT ps) {
  WINCE_TRACE("BeginPaint");
  wince_trace_.args(hWnd);
  Window* w = windowOf(hWnd);
  if (!w || !ps) return wince_trace_.result(static_cast<HDC>(nullptr));
  *ps = PAINTSTRUCT{};
  RECT update = w->invalid;
  bool erase = w->erase;
  w->invalid = RECT{};
  w->erase = false;
  HDC dc = windowDc(*w, &update, true);
  ps->hdc = dc;
  ps->rcPaint = update;
  ps->fErase = TRUE;
  if (erase && dc) ps->fErase = SendMessageW(hWnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
  return wince_trace_.result(dc);
}

WINUSERAPI BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* ps) {
  WINCE_TRACE("EndPaint");
  wince_trace_.args(hWnd);
  if (!ps) return wince_trace_.result(FALSE);
  return wince_trace_.result(releaseWindowDc(ps->hdc) ? TRUE : FALSE);
}

WINUSERAPI HDC WINAPI GetDC(HWND hWnd) {
  WINCE_TRACE("GetDC");
  wince_trace_.args(hWnd);
  if (!hWnd) {
    Screen& s = Device::current().screen();
    return wince_trace_.result(Device::current().gdi().createDc(POINT{0, 0}, {RECT{0, 0, s.width, s.height}}));
  }
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(static_cast<HDC>(nullptr));
  return wince_trace_.result(windowDc(*w, nullptr, true));
}

WINUSERAPI int WINAPI ReleaseDC(HWND hWnd, HDC hDC) {
  WINCE_TRACE("ReleaseDC");
  wince_trace_.args(hWnd, hDC);
  return wince_trace_.result(releaseWindowDc(hDC) ? 1 : 0);
}
