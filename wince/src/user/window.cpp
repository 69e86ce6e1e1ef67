// Windows: creation and destruction, the window tree (parents, owners,
// top-level windows), text, enabling and the window longs.
#include <windows.h>

#include <algorithm>

#include "device/trace.h"
#include "user/wm_impl.h"

namespace wince {

HWND topLevelOf(HWND h) {
  Window* w = wm().get(h);
  while (w && w->parent) w = wm().get(w->parent);
  return w ? w->handle : nullptr;
}

bool isDescendant(HWND child, HWND ancestor) {
  for (Window* w = wm().get(child); w; w = wm().get(w->parent))
    if (w->handle == ancestor) return true;
  return false;
}

}  // namespace wince

using namespace wince;

WINUSERAPI HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                                       int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                       LPVOID param) {
  WINCE_TRACE("CreateWindowExW");
  wince_trace_.args(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance, param);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, HWND{});
  auto& m = wm();
  Device& d = Device::current();
  auto cit = m.classes.find(classKey(className));
  if (cit == m.classes.end()) {
    d.lastError() = ERROR_CANNOT_FIND_WND_CLASS;
    return wince_trace_.result(static_cast<HWND>(nullptr));
  }
  if ((style & WS_CHILD) && !m.get(parent)) {
    d.lastError() = ERROR_INVALID_WINDOW_HANDLE;
    return wince_trace_.result(static_cast<HWND>(nullptr));
  }
  if (x == CW_USEDEFAULT) x = 0;
  if (y == CW_USEDEFAULT) y = 0;
  if (width == CW_USEDEFAULT) width = d.screen().width;
  if (height == CW_USEDEFAULT) height = d.screen().height;
  HWND h = reinterpret_cast<HWND>(m.nextHandle);
  m.nextHandle += 4;
  Window w;
  w.handle = h;
  w.cls = &cit->second;
  w.proc = cit->second.proc;
  w.instance = instance;
  w.text = textOf(windowName);
  w.style = style;
  w.exStyle = exStyle;
  w.rect = {x, y, x + width, y + height};
  if (style & WS_CHILD) {
    w.parent = parent;
    w.id = reinterpret_cast<UINT_PTR>(menu);
  } else {
    w.owner = parent;
  }
  m.windows.emplace(h, w);
  if (style & WS_CHILD)
    m.get(parent)->children.push_back(h);
  else
    m.topLevel.push_back(h);
  ++cit->second.windows;
  d.accounting().acquire(ObjectKind::Window);

  CREATESTRUCTW cs{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style), windowName, className,
                   exStyle};
  LRESULT r = SendMessageW(h, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs));
  if (r == -1) {
    DestroyWindow(h);
    d.lastError() = ERROR_INVALID_WINDOW_HANDLE;
    return wince_trace_.result(static_cast<HWND>(nullptr));
  }
  if (Window* cw = m.get(h); cw && isVisible(*cw)) {
    InvalidateRect(h, nullptr, TRUE);
    cw->nonClientDirty = true;
    refreshHeldDcs();  // the new window covers part of its parent and of those below
  }
  return wince_trace_.result(h);
}

WINUSERAPI BOOL WINAPI DestroyWindow(HWND hWnd) {
  WINCE_TRACE("DestroyWindow");
  wince_trace_.args(hWnd);
  auto& m = wm();
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(FALSE);
  Device& d = Device::current();
  bool wasVisible = isVisible(*w);
  RECT area = screenRect(*w);
  // WM_DESTROY goes to the window first, then to its children.
  SendMessageW(hWnd, WM_DESTROY, 0, 0);
  w = m.get(hWnd);
  if (!w) return wince_trace_.result(TRUE);  // destroyed while handling WM_DESTROY
  w->destroying = true;
  std::vector<HWND> children = w->children;
  for (auto it = children.rbegin(); it != children.rend(); ++it)
    if (m.get(*it)) DestroyWindow(*it);
  Window& dying = m.windows.at(hWnd);
  if (dying.onDestroyed) dying.onDestroyed();
  if (m.capture == hWnd) m.capture = nullptr;
  if (m.focus == hWnd) m.focus = nullptr;
  if (m.foreground == hWnd) m.foreground = nullptr;
  m.timers.erase(std::remove_if(m.timers.begin(), m.timers.end(), [&](const Timer& t) { return t.hwnd == hWnd; }),
                 m.timers.end());
  if (dying.parent) {
    auto it = m.windows.find(dying.parent);
    if (it != m.windows.end()) {
      auto& c = it->second.children;
      c.erase(std::remove(c.begin(), c.end(), hWnd), c.end());
    }
  } else {
    m.topLevel.erase(std::remove(m.topLevel.begin(), m.topLevel.end(), hWnd), m.topLevel.end());
  }
  --dying.cls->windows;
  m.windows.erase(hWnd);
  d.accounting().release(ObjectKind::Window);
  // Owned top-level windows go with their owner.
  std::vector<HWND> owned;
  for (HWND t : m.topLevel)
    if (m.windows.at(t).owner == hWnd) owned.push_back(t);
  for (HWND t : owned) DestroyWindow(t);
  if (wasVisible) invalidateScreen(area);
  return wince_trace_.result(TRUE);
}

WINUSERAPI BOOL WINAPI IsWindow(HWND hWnd) { return wm().get(hWnd) != nullptr; }

WINUSERAPI HWND WINAPI GetParent(HWND hWnd) {
  WINCE_TRACE("GetParent");
  wince_trace_.args(hWnd);
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(static_cast<HWND>(nullptr));
  return wince_trace_.result(w->parent ? w->parent : w->owner);
}

WINUSERAPI HWND WINAPI FindWindowW(LPCWSTR className, LPCWSTR windowName) {
  WINCE_TRACE("FindWindowW");
  wince_trace_.args(className, windowName);
  auto& m = wm();
  // Top-level windows only, topmost first; hidden windows count too.
  for (auto it = m.topLevel.rbegin(); it != m.topLevel.rend(); ++it) {
    Window& w = m.windows.at(*it);
    if (w.destroying) continue;
    if (className && classKey(className) != classKey(w.cls->name.c_str())) continue;
    if (windowName && lstrcmpiW(windowName, w.text.c_str()) != 0) continue;
    return wince_trace_.result(*it);
  }
  return wince_trace_.result(static_cast<HWND>(nullptr));
}

WINUSERAPI BOOL WINAPI SetWindowTextW(HWND hWnd, LPCWSTR text) {
  WINCE_TRACE("SetWindowTextW");
  wince_trace_.args(hWnd, text);
  if (!windowOf(hWnd)) return wince_trace_.result(FALSE);
  return wince_trace_.result(static_cast<BOOL>(SendMessageW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))));
}

WINUSERAPI int WINAPI GetWindowTextW(HWND hWnd, LPWSTR buffer, int max) {
  WINCE_TRACE("GetWindowTextW");
  wince_trace_.args(hWnd, max);
  if (!windowOf(hWnd) || !buffer || max <= 0) return wince_trace_.result(0);
  return wince_trace_.result(
      static_cast<int>(SendMessageW(hWnd, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buffer))));
}

WINUSERAPI int WINAPI GetWindowTextLengthW(HWND hWnd) {
  if (!windowOf(hWnd)) return 0;
  return static_cast<int>(SendMessageW(hWnd, WM_GETTEXTLENGTH, 0, 0));
}

WINUSERAPI BOOL WINAPI EnableWindow(HWND hWnd, BOOL enable) {
  Window* w = windowOf(hWnd);
  if (!w) return FALSE;
  BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
  if (enable)
    w->style &= ~WS_DISABLED;
  else
    w->style |= WS_DISABLED;
  if (wasDisabled != !enable) SendMessageW(hWnd, WM_ENABLE, enable, 0);
  return wasDisabled;
}

WINUSERAPI BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  Window* w = wm().get(hWnd);
  return w && !(w->style & WS_DISABLED);
}

WINUSERAPI LONG WINAPI GetWindowLongW(HWND hWnd, int index) {
  Window* w = windowOf(hWnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE: return static_cast<LONG>(w->style);
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWL_ID: return static_cast<LONG>(w->id);
    case GWL_USERDATA: return w->userData;
  }
  Device::current().lastError() = ERROR_INVALID_PARAMETER;
  return 0;
}

WINUSERAPI LONG WINAPI SetWindowLongW(HWND hWnd, int index, LONG value) {
  Window* w = windowOf(hWnd);
  if (!w) return 0;
  LONG old = GetWindowLongW(hWnd, index);
  switch (index) {
    case GWL_STYLE: w->style = static_cast<DWORD>(value); break;
    case GWL_EXSTYLE: w->exStyle = static_cast<DWORD>(value); break;
    case GWL_ID: w->id = static_cast<UINT_PTR>(value); break;
    case GWL_USERDATA: w->userData = value; break;
    default: Device::current().lastError() = ERROR_INVALID_PARAMETER; return 0;
  }
  return old;
}
