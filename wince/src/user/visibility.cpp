// Visibility: showing and hiding windows, which window is under a point,
// and what part of the screen each window may draw to.
#include <windows.h>

#include <algorithm>

#include "device/trace.h"
#include "user/wm_impl.h"

namespace wince {

bool isVisible(const Window& w) {
  for (const Window* p = &w; p; p = wm().get(p->parent))
    if (!(p->style & WS_VISIBLE)) return false;
  return true;
}

HWND topLevelAt(POINT p) {
  auto& m = wm();
  for (auto it = m.topLevel.rbegin(); it != m.topLevel.rend(); ++it) {
    Window* w = m.get(*it);
    if (w && (w->style & WS_VISIBLE) && rectContains(screenRect(*w), p)) return *it;
  }
  return nullptr;
}

HWND windowAt(POINT p) {
  auto& m = wm();
  HWND found = topLevelAt(p);
  for (bool deeper = found != nullptr; deeper;) {
    deeper = false;
    Window& cur = m.windows.at(found);
    for (auto c = cur.children.rbegin(); c != cur.children.rend(); ++c) {
      Window& cw = m.windows.at(*c);
      if (!cw.destroying && (cw.style & WS_VISIBLE) && !(cw.style & WS_DISABLED) && rectContains(screenRect(cw), p)) {
        found = *c;
        deeper = true;
        break;
      }
    }
  }
  return found;
}

std::vector<RECT> visibleRegion(const Window& w, bool clientOnly) {
  if (!isVisible(w)) return {};
  RECT area = clientOnly ? clientScreenRect(w) : screenRect(w);
  // Clipped by every ancestor's client area.
  for (const Window* p = wm().get(w.parent); p; p = wm().get(p->parent)) area = rectIntersect(area, clientScreenRect(*p));
  area = rectIntersect(area, RECT{0, 0, Device::current().screen().width, Device::current().screen().height});
  std::vector<RECT> region;
  if (!rectEmpty(area)) region.push_back(area);
  // Windows on this device always clip their children and their siblings:
  // take away the visible children, the siblings above this window and its
  // ancestors, and the top-level windows above its top-level window.
  for (HWND c : w.children)
    if (const Window* cw = wm().get(c); cw && (cw->style & WS_VISIBLE)) region = rectSubtract(region, screenRect(*cw));
  const Window* node = &w;
  while (node) {
    const std::vector<HWND>& siblings = node->parent ? wm().get(node->parent)->children : wm().topLevel;
    auto it = std::find(siblings.begin(), siblings.end(), node->handle);
    if (it != siblings.end())
      for (++it; it != siblings.end(); ++it)
        if (const Window* s = wm().get(*it); s && (s->style & WS_VISIBLE)) region = rectSubtract(region, screenRect(*s));
    node = wm().get(node->parent);
  }
  return region;
}

void invalidateScreen(const RECT& r) {
  for (auto& [h, w] : wm().windows) {
    if (w.destroying || !isVisible(w)) continue;
    RECT cs = clientScreenRect(w);
    RECT hit = rectIntersect(cs, r);
    RECT whole = rectIntersect(screenRect(w), r);
    if (!rectEmpty(whole)) w.nonClientDirty = true;
    if (rectEmpty(hit)) continue;
    RECT local{hit.left - cs.left, hit.top - cs.top, hit.right - cs.left, hit.bottom - cs.top};
    w.invalid = rectEmpty(w.invalid) ? local : rectUnion(w.invalid, local);
    w.erase = true;
  }
  refreshHeldDcs();
}

}  // namespace wince

using namespace wince;

WINUSERAPI BOOL WINAPI IsWindowVisible(HWND hWnd) {
  Window* w = wm().get(hWnd);
  return w && isVisible(*w);
}

WINUSERAPI BOOL WINAPI ShowWindow(HWND hWnd, int cmd) {
  WINCE_TRACE("ShowWindow");
  wince_trace_.args(hWnd, cmd);
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(FALSE);
  BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  bool show = cmd != SW_HIDE;
  if (show == static_cast<bool>(wasVisible)) return wince_trace_.result(wasVisible);
  RECT area = screenRect(*w);
  if (show) {
    w->style |= WS_VISIBLE;
    SendMessageW(hWnd, WM_SHOWWINDOW, TRUE, 0);
    invalidateScreen(area);
    // A top-level window shown comes to the top.
    if (!w->parent && cmd != SW_SHOWNA) raiseTopLevel(hWnd);
  } else {
    SendMessageW(hWnd, WM_SHOWWINDOW, FALSE, 0);
    w->style &= ~WS_VISIBLE;
    invalidateScreen(area);
  }
  return wince_trace_.result(wasVisible);
}
