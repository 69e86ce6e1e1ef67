// Graphics state of the device: device contexts, fonts, pens and brushes.
#pragma once
#include <windows.h>

#include <memory>
#include <vector>

namespace wince {

class GdiState {
 public:
  GdiState();
  ~GdiState();
  GdiState(const GdiState&) = delete;
  GdiState& operator=(const GdiState&) = delete;

  // A device context that draws into the device's screen with its logical
  // origin at `origin` (screen coordinates), clipped to the union of `clip`
  // (screen rectangles). Counted as a live DC until releaseDc.
  HDC createDc(POINT origin, std::vector<RECT> clip);
  // Releases a DC made by createDc; selected objects stay alive (the
  // caller's to delete). Returns false for a handle that is not a live DC.
  bool releaseDc(HDC hdc);
  bool isDc(HDC hdc) const;

  // Moves a live DC's origin and replaces its clip (screen rectangles), as
  // when a window moves while a DC on it is held. False for a dead DC.
  bool setDcGeometry(HDC hdc, POINT origin, std::vector<RECT> clip);
  // A live DC's origin and clip rectangles (screen coordinates).
  bool dcOrigin(HDC hdc, POINT* origin) const;
  std::vector<RECT> dcClip(HDC hdc) const;

  // True for a live font (stock or created).
  bool isFont(HGDIOBJ h) const;
  // Number of live DCs and of live created (non-stock) objects.
  int liveDcs() const;
  int liveObjects() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  friend struct GdiAccess;
};

}  // namespace wince
