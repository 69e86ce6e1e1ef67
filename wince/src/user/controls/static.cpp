// STATIC: text (word-wrapped, left, centred or right), icons (SS_ICON), and
// taps reported with SS_NOTIFY.
#include <windows.h>

#include "device.h"
#include "user/controls/controls.h"
#include "user/dialog.h"

namespace wince {

namespace {

constexpr DWORD kTypeMask = 0x1F;
constexpr int kIconSize = 32;

struct Static {
  HICON icon = nullptr;
  bool ownsIcon = false;  // loaded from the template: the control frees it

  Static() = default;
  ~Static() { dropIcon(); }
  Static(const Static&) = delete;
  Static& operator=(const Static&) = delete;

  void dropIcon() {
    if (icon && ownsIcon) DestroyIcon(icon);
    icon = nullptr;
    ownsIcon = false;
  }
};

// An SS_ICON static names its icon in its title: 0xFFFF and a resource id,
// or a resource name. The icon takes the control's size.
void loadTemplateIcon(HWND h, Static& s, const CREATESTRUCTW& cs) {
  Window* w = wm().get(h);
  LPCWSTR name = nullptr;
  if (cs.lpszName && cs.lpszName[0] == 0xFFFF)
    name = reinterpret_cast<LPCWSTR>(static_cast<UINT_PTR>(cs.lpszName[1]));
  else if (cs.lpszName && cs.lpszName[0])
    name = cs.lpszName;
  w->text.clear();
  if (!name) return;
  s.icon = static_cast<HICON>(LoadImageW(cs.hInstance, name, IMAGE_ICON, kIconSize, kIconSize, LR_DEFAULTCOLOR));
  s.ownsIcon = s.icon != nullptr;
  if (s.icon && (w = wm().get(h))) w->rect = RECT{w->rect.left, w->rect.top, w->rect.left + kIconSize, w->rect.top + kIconSize};
}

void paintStatic(HWND h, Static& s) {
  PAINTSTRUCT ps;
  RECT c;
  // The parent chooses the colours: its brush fills the background, and the
  // text colour and background mode it set on the DC are the text's.
  HDC dc = beginControlPaint(h, ps, c, WM_CTLCOLORSTATIC);
  DWORD type = controlStyle(h) & kTypeMask;
  if (type == SS_ICON) {
    if (s.icon) DrawIconEx(dc, 0, 0, s.icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
  } else {
    HGDIOBJ oldFont = SelectObject(dc, controlFont(h));
    UINT align = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
    if (!IsWindowEnabled(h)) SetTextColor(dc, RGB(128, 128, 128));
    DrawTextW(dc, wm().get(h)->text.c_str(), -1, &c, DT_WORDBREAK | align);
    SelectObject(dc, oldFont);
  }
  EndPaint(h, &ps);
}

HICON setIcon(HWND h, Static& s, HICON icon) {
  HICON old = s.icon;
  if (s.ownsIcon && old != icon) DestroyIcon(old);
  s.icon = icon;
  s.ownsIcon = false;
  InvalidateRect(h, nullptr, TRUE);
  return old;
}

}  // namespace

LRESULT CALLBACK staticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) {
    Static* s = attachControlState<Static>(h);
    if ((controlStyle(h) & kTypeMask) == SS_ICON) loadTemplateIcon(h, *s, *reinterpret_cast<CREATESTRUCTW*>(lp));
    return 0;
  }
  Static* s = systemWindowState<Static>(h);
  if (!s) return DefWindowProcW(h, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: paintStatic(h, *s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
      if (controlStyle(h) & SS_NOTIFY) notifyParent(h, STN_CLICKED);
      return 0;
    case WM_SETTEXT: {
      LRESULT r = DefWindowProcW(h, msg, wp, lp);
      InvalidateRect(h, nullptr, TRUE);
      return r;
    }
    case STM_SETICON: return reinterpret_cast<LRESULT>(setIcon(h, *s, reinterpret_cast<HICON>(wp)));
    case STM_GETICON: return reinterpret_cast<LRESULT>(s->icon);
    case STM_SETIMAGE:
      if (wp != IMAGE_ICON) return 0;
      return reinterpret_cast<LRESULT>(setIcon(h, *s, reinterpret_cast<HICON>(lp)));
    case WM_GETDLGCODE: return DLGC_STATIC;
    case WM_ENABLE: InvalidateRect(h, nullptr, TRUE); return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace wince
