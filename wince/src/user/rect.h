// Rectangle arithmetic of the window manager (user/rect.cpp). A rectangle
// holds the points from left/top up to, not including, right/bottom.
#pragma once
#include <windows.h>

#include <vector>

namespace wince {

bool rectEmpty(const RECT& r);  // no width or no height
// The common part of a and b; an empty rectangle (all zero) when none.
RECT rectIntersect(const RECT& a, const RECT& b);
// The smallest rectangle that holds a and b; an empty one counts for nothing.
RECT rectUnion(const RECT& a, const RECT& b);
// The parts of the rectangles `from` outside `hole`, as rectangles.
std::vector<RECT> rectSubtract(const std::vector<RECT>& from, const RECT& hole);
bool rectContains(const RECT& r, POINT p);

}  // namespace wince
