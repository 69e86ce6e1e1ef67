// BUTTON: push buttons, automatic radio buttons and check boxes.
#include <windows.h>

#include "user/controls/controls.h"
#include "user/dialog.h"

namespace wince {

namespace {

constexpr int kMarkSize = 12;  // radio circle and check box square

struct Button {
  UINT check = BST_UNCHECKED;
  bool pushed = false;  // the pen is down on it
  bool tracking = false;
};

DWORD buttonType(HWND h) { return controlStyle(h) & BS_TYPEMASK; }
bool isPush(DWORD type) { return type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON; }
bool isRadio(DWORD type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

void paintButton(HWND h, Button& b) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT c;
  GetClientRect(h, &c);
  DWORD type = buttonType(h);
  HGDIOBJ oldFont = SelectObject(dc, controlFont(h));
  bool enabled = IsWindowEnabled(h);
  if (isPush(type)) {
    // Pocket PC push buttons: a black frame, inverted while pressed.
    FillRect(dc, &c, static_cast<HBRUSH>(GetStockObject(b.pushed ? BLACK_BRUSH : WHITE_BRUSH)));
    frameRect(dc, c);
    if (type == BS_DEFPUSHBUTTON) frameRect(dc, RECT{c.left + 1, c.top + 1, c.right - 1, c.bottom - 1});
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, b.pushed ? RGB(255, 255, 255) : enabled ? RGB(0, 0, 0) : RGB(128, 128, 128));
    Window* w = wm().get(h);
    DrawTextW(dc, w->text.c_str(), -1, &c, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  } else {
    HBRUSH bg = controlColors(h, dc, WM_CTLCOLORSTATIC);
    FillRect(dc, &c, bg);
    int top = (c.bottom - kMarkSize) / 2;
    RECT mark{0, top, kMarkSize, top + kMarkSize};
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(b.pushed ? LTGRAY_BRUSH : WHITE_BRUSH));
    if (isRadio(type)) {
      Ellipse(dc, mark.left, mark.top, mark.right, mark.bottom);
      if (b.check) {
        SelectObject(dc, GetStockObject(BLACK_BRUSH));
        Ellipse(dc, mark.left + 3, mark.top + 3, mark.right - 3, mark.bottom - 3);
      }
    } else {
      Rectangle(dc, mark.left, mark.top, mark.right, mark.bottom);
      if (b.check) {
        POINT tick[3] = {{mark.left + 2, mark.top + 6}, {mark.left + 5, mark.top + 9}, {mark.left + 10, mark.top + 2}};
        Polyline(dc, tick, 3);
        for (POINT& p : tick) ++p.y;
        Polyline(dc, tick, 3);
      }
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    if (!enabled) SetTextColor(dc, RGB(128, 128, 128));
    RECT text{kMarkSize + 4, 0, c.right, c.bottom};
    DrawTextW(dc, wm().get(h)->text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);
  }
  SelectObject(dc, oldFont);
  EndPaint(h, &ps);
}

void setCheck(HWND h, Button& b, UINT check) {
  DWORD type = buttonType(h);
  if (isPush(type)) return;
  if (b.check != check) {
    b.check = check;
    InvalidateRect(h, nullptr, TRUE);
  }
  // A checked radio button is where Tab enters its group.
  if (isRadio(type))
    if (Window* w = wm().get(h)) w->style = check ? (w->style | WS_TABSTOP) : (w->style & ~WS_TABSTOP);
}

// Checks an automatic radio button and clears the others of its group: from
// the nearest WS_GROUP control at or before it to the next WS_GROUP control.
void checkInGroup(HWND h) {
  Window* w = wm().get(h);
  Window* parent = w ? wm().get(w->parent) : nullptr;
  if (!parent) return;
  std::vector<HWND> siblings = parent->children;
  size_t self = 0;
  while (self < siblings.size() && siblings[self] != h) ++self;
  auto grouped = [&](size_t i) {
    Window* s = wm().get(siblings[i]);
    return s && (s->style & WS_GROUP);
  };
  size_t first = self;
  while (first > 0 && !grouped(first)) --first;
  size_t end = self + 1;
  while (end < siblings.size() && !grouped(end)) ++end;
  for (size_t i = first; i < end; ++i)
    if (i != self && (SendMessageW(siblings[i], WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
      SendMessageW(siblings[i], BM_SETCHECK, BST_UNCHECKED, 0);
  SendMessageW(h, BM_SETCHECK, BST_CHECKED, 0);
}

void click(HWND h, Button& b) {
  DWORD type = buttonType(h);
  if (type == BS_AUTORADIOBUTTON)
    checkInGroup(h);
  else if (type == BS_AUTOCHECKBOX)
    setCheck(h, b, b.check ? BST_UNCHECKED : BST_CHECKED);
  notifyParent(h, BN_CLICKED);
}

bool inside(HWND h, LPARAM lp) {
  RECT c;
  GetClientRect(h, &c);
  return rectContains(c, POINT{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))});
}

}  // namespace

LRESULT CALLBACK buttonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) {
    attachControlState<Button>(h);
    return 0;
  }
  Button* b = systemWindowState<Button>(h);
  if (!b) return DefWindowProcW(h, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: paintButton(h, *b); return 0;
    case WM_ERASEBKGND: return 1;  // painted whole in WM_PAINT
    case WM_LBUTTONDOWN:
      SetCapture(h);
      b->tracking = true;
      b->pushed = true;
      SetFocus(h);
      InvalidateRect(h, nullptr, FALSE);
      return 0;
    case WM_MOUSEMOVE:
      if (b->tracking && b->pushed != inside(h, lp)) {
        b->pushed = !b->pushed;
        InvalidateRect(h, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP: {
      if (!b->tracking) return 0;
      b->tracking = false;
      b->pushed = false;
      if (GetCapture() == h) ReleaseCapture();
      InvalidateRect(h, nullptr, FALSE);
      if (inside(h, lp)) click(h, *b);
      return 0;
    }
    case WM_CHAR:
      if (wp == u' ') click(h, *b);
      return 0;
    case BM_CLICK: click(h, *b); return 0;
    case BM_GETCHECK: return b->check;
    case BM_SETCHECK: setCheck(h, *b, wp == BST_CHECKED ? BST_CHECKED : BST_UNCHECKED); return 0;
    case BM_GETSTATE: return b->check | (b->pushed ? BST_PUSHED : 0) | (GetFocus() == h ? 0x0008 : 0);
    case BM_SETSTATE:
      if (b->pushed != (wp != 0)) {
        b->pushed = wp != 0;
        InvalidateRect(h, nullptr, FALSE);
      }
      return 0;
    case WM_GETDLGCODE: {
      DWORD type = buttonType(h);
      if (type == BS_DEFPUSHBUTTON) return DLGC_BUTTON | DLGC_DEFPUSHBUTTON;
      if (type == BS_PUSHBUTTON) return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
      if (isRadio(type)) return DLGC_BUTTON | DLGC_RADIOBUTTON;
      return DLGC_BUTTON;
    }
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(h, msg, wp, lp);
      InvalidateRect(h, nullptr, TRUE);
      return r;
    }
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(h, nullptr, FALSE); return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace wince
