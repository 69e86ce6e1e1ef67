// The system's controls: registration of their classes and what they share
// (colours from the parent, fonts, notifications).
#include "user/controls/controls.h"

#include "user/dialog.h"

namespace wince {

void registerControlClasses() {
  struct Entry {
    const char16_t* name;
    WNDPROC proc;
  };
  static const Entry kClasses[] = {
      {u"BUTTON", buttonProc},   {u"EDIT", editProc},
      {u"STATIC", staticProc},   {u"COMBOBOX", comboProc},
      {kComboListClass, comboListProc},
  };
  for (const Entry& e : kClasses) registerSystemClass(e.name, e.proc);
}

HBRUSH controlColors(HWND control, HDC dc, UINT message) {
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, OPAQUE);
  Window* w = wm().get(control);
  HWND parent = w ? w->parent : nullptr;
  auto brush = parent ? reinterpret_cast<HBRUSH>(SendMessageW(parent, message, reinterpret_cast<WPARAM>(dc),
                                                              reinterpret_cast<LPARAM>(control)))
                      : nullptr;
  if (brush) return brush;
  // No answer: the default colours, whatever the parent did to the DC.
  SetTextColor(dc, RGB(0, 0, 0));
  SetBkColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, OPAQUE);
  return static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

HDC beginControlPaint(HWND control, PAINTSTRUCT& ps, RECT& client, UINT message) {
  HDC dc = BeginPaint(control, &ps);
  GetClientRect(control, &client);
  FillRect(dc, &client, controlColors(control, dc, message));
  return dc;
}

HFONT controlFont(HWND control) {
  Window* w = wm().get(control);
  if (w && w->font) return w->font;
  return static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

void notifyParent(HWND control, WORD code) {
  Window* w = wm().get(control);
  if (!w || !w->parent) return;
  SendMessageW(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code), reinterpret_cast<LPARAM>(control));
}

DWORD controlStyle(HWND control) {
  Window* w = wm().get(control);
  return w ? (w->style & 0xFFFF) : 0;
}

}  // namespace wince
