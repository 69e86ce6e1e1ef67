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

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  friend struct GdiAccess;
};

}  // namespace wince
