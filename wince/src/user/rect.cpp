// Rectangles: the arithmetic the window manager clips and invalidates with,
// and the platform's rectangle functions (SetRect, IntersectRect...).
#include "user/rect.h"

#include <algorithm>

namespace wince {

bool rectEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

RECT rectIntersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (rectEmpty(r)) return RECT{0, 0, 0, 0};
  return r;
}

RECT rectUnion(const RECT& a, const RECT& b) {
  if (rectEmpty(a)) return b;
  if (rectEmpty(b)) return a;
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

std::vector<RECT> rectSubtract(const std::vector<RECT>& from, const RECT& hole) {
  std::vector<RECT> out;
  for (const RECT& r : from) {
    RECT h = rectIntersect(r, hole);
    if (rectEmpty(h)) {
      out.push_back(r);
      continue;
    }
    if (h.top > r.top) out.push_back(RECT{r.left, r.top, r.right, h.top});
    if (h.bottom < r.bottom) out.push_back(RECT{r.left, h.bottom, r.right, r.bottom});
    if (h.left > r.left) out.push_back(RECT{r.left, h.top, h.left, h.bottom});
    if (h.right < r.right) out.push_back(RECT{h.right, h.top, r.right, h.bottom});
  }
  return out;
}

bool rectContains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace wince

using namespace wince;

WINUSERAPI BOOL WINAPI SetRect(LPRECT r, int left, int top, int right, int bottom) {
  if (!r) return FALSE;
  *r = RECT{left, top, right, bottom};
  return TRUE;
}

WINUSERAPI BOOL WINAPI SetRectEmpty(LPRECT r) { return SetRect(r, 0, 0, 0, 0); }

WINUSERAPI BOOL WINAPI IntersectRect(LPRECT dst, const RECT* a, const RECT* b) {
  if (!dst || !a || !b) return FALSE;
  *dst = rectIntersect(*a, *b);
  return !rectEmpty(*dst);
}

WINUSERAPI BOOL WINAPI PtInRect(const RECT* r, POINT p) { return r && rectContains(*r, p); }

WINUSERAPI BOOL WINAPI OffsetRect(LPRECT r, int dx, int dy) {
  if (!r) return FALSE;
  r->left += dx;
  r->right += dx;
  r->top += dy;
  r->bottom += dy;
  return TRUE;
}
