// Window positions: the window and client rectangles, moving and sizing,
// the order of top-level windows, and mapping points between coordinates.
#include <windows.h>

#include <algorithm>

#include "device/trace.h"
#include "user/wm_impl.h"

namespace wince {

RECT clientInsets(const Window& w) {
  RECT in{0, 0, 0, 0};
  if ((w.style & WS_CAPTION) == WS_CAPTION) {
    in = {1, 1, 1, 1};
    if (!w.parent) in.top += WindowManager::kCaptionHeight;
  } else if (w.style & WS_BORDER) {
    in = {1, 1, 1, 1};
  } else if (w.style & WS_DLGFRAME) {
    in = {2, 2, 2, 2};
  }
  return in;
}

RECT screenRect(const Window& w) {
  RECT r = w.rect;
  if (Window* p = wm().get(w.parent)) {
    RECT pc = clientScreenRect(*p);
    r.left += pc.left;
    r.right += pc.left;
    r.top += pc.top;
    r.bottom += pc.top;
  }
  return r;
}

RECT clientScreenRect(const Window& w) {
  RECT r = screenRect(w);
  RECT in = clientInsets(w);
  r.left += in.left;
  r.top += in.top;
  r.right -= in.right;
  r.bottom -= in.bottom;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

void raiseTopLevel(HWND h, bool repaint) {
  auto& tl = wm().topLevel;
  tl.erase(std::remove(tl.begin(), tl.end(), h), tl.end());
  tl.push_back(h);
  if (Window* w = wm().get(h); repaint && w && isVisible(*w))
    invalidateScreen(screenRect(*w));  // which brings the held DCs up to date
  else
    refreshHeldDcs();
}

}  // namespace wince

using namespace wince;

WINUSERAPI BOOL WINAPI GetClientRect(HWND hWnd, LPRECT r) {
  WINCE_TRACE("GetClientRect");
  wince_trace_.args(hWnd);
  Window* w = windowOf(hWnd);
  if (!w || !r) return wince_trace_.result(FALSE);
  RECT c = clientScreenRect(*w);
  *r = {0, 0, c.right - c.left, c.bottom - c.top};
  return wince_trace_.result(TRUE);
}

WINUSERAPI BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT r) {
  WINCE_TRACE("GetWindowRect");
  wince_trace_.args(hWnd);
  Window* w = windowOf(hWnd);
  if (!w || !r) return wince_trace_.result(FALSE);
  *r = screenRect(*w);
  return wince_trace_.result(TRUE);
}

WINUSERAPI BOOL WINAPI MoveWindow(HWND hWnd, int x, int y, int width, int height, BOOL repaint) {
  WINCE_TRACE("MoveWindow");
  wince_trace_.args(hWnd, x, y, width, height, repaint);
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(FALSE);
  RECT before = screenRect(*w);
  RECT oldRect = w->rect;
  w->rect = {x, y, x + width, y + height};
  if (oldRect.left != x || oldRect.top != y) SendMessageW(hWnd, WM_MOVE, 0, MAKELPARAM(x, y));
  w = wm().get(hWnd);
  if (!w) return wince_trace_.result(TRUE);
  if (oldRect.right - oldRect.left != width || oldRect.bottom - oldRect.top != height) {
    RECT c = clientScreenRect(*w);
    SendMessageW(hWnd, WM_SIZE, 0, MAKELPARAM(c.right - c.left, c.bottom - c.top));
    w = wm().get(hWnd);
    if (!w) return wince_trace_.result(TRUE);
  }
  if (isVisible(*w)) {
    // The area uncovered repaints behind; the window repaints where it is now.
    invalidateScreen(before);
    if (repaint) invalidateScreen(screenRect(*w));
  }
  return wince_trace_.result(TRUE);
}

WINUSERAPI BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT p) {
  Window* w = windowOf(hWnd);
  if (!w || !p) return FALSE;
  RECT c = clientScreenRect(*w);
  p->x -= c.left;
  p->y -= c.top;
  return TRUE;
}

WINUSERAPI BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT p) {
  Window* w = windowOf(hWnd);
  if (!w || !p) return FALSE;
  RECT c = clientScreenRect(*w);
  p->x += c.left;
  p->y += c.top;
  return TRUE;
}
