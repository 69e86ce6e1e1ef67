// Small drawing helpers over the platform's GDI, shared by the programs
// that paint the device's screen (the Today shell, the player).
#pragma once
#include <windows.h>

namespace crestune::draw {

inline void fill(HDC hdc, RECT r, COLORREF c) {
  HBRUSH b = CreateSolidBrush(c);
  FillRect(hdc, &r, b);
  DeleteObject(b);
}

inline void line(HDC hdc, int x1, int y1, int x2, int y2, COLORREF c, int width = 1) {
  HPEN pen = CreatePen(PS_SOLID, width, c);
  HGDIOBJ old = SelectObject(hdc, pen);
  POINT pts[2] = {{x1, y1}, {x2, y2}};
  Polyline(hdc, pts, 2);
  SelectObject(hdc, old);
  DeleteObject(pen);
}

// Tahoma of the given pixel height, selected into the DC for the lifetime
// of the object.
class Font {
 public:
  Font(HDC hdc, int height, bool bold) : hdc_(hdc) {
    LOGFONTW lf{};
    lf.lfHeight = -height;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lstrcpynW(lf.lfFaceName, u"Tahoma", LF_FACESIZE);
    font_ = CreateFontIndirectW(&lf);
    old_ = SelectObject(hdc, font_);
  }
  ~Font() {
    SelectObject(hdc_, old_);
    DeleteObject(font_);
  }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

 private:
  HDC hdc_;
  HFONT font_;
  HGDIOBJ old_;
};

}  // namespace crestune::draw
