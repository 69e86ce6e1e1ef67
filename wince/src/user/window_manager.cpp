// Classes and windows: registration, creation, destruction, geometry, text.
#include "window_manager.h"

#include <algorithm>

#include "device/trace.h"
#include "user/wm_impl.h"

namespace wince {

WindowManager::WindowManager() : impl_(std::make_unique<Impl>()) {}

WindowManager::~WindowManager() {
  destroyAllWindows();
  for (auto& [name, cls] : impl_->classes)
    if (!cls.system) Device::current().accounting().release(ObjectKind::Class);
  impl_->classes.clear();
}

void WindowManager::destroyAllWindows() {
  // Top-level windows, topmost first, each with its children.
  while (!impl_->topLevel.empty()) DestroyWindow(impl_->topLevel.back());
}

WindowManager::Impl& wm() { return Device::current().windows().impl(); }

Window* windowOf(HWND h) {
  Window* w = wm().get(h);
  if (!w) Device::current().lastError() = ERROR_INVALID_WINDOW_HANDLE;
  return w;
}

std::u16string textOf(LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); }

namespace {
std::u16string classKey(LPCWSTR name) {
  std::u16string k = textOf(name);
  for (char16_t& c : k)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return k;
}
}  // namespace

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

bool isVisible(const Window& w) {
  for (const Window* p = &w; p; p = wm().get(p->parent))
    if (!(p->style & WS_VISIBLE)) return false;
  return true;
}

HWND topLevelOf(HWND h) {
  Window* w = wm().get(h);
  while (w && w->parent) w = wm().get(w->parent);
  return w ? w->handle : nullptr;
}

HWND topLevelAt(POINT p) {
  auto& m = wm();
  for (auto it = m.topLevel.rbegin(); it != m.topLevel.rend(); ++it) {
    Window* w = m.get(*it);
    if (w && (w->style & WS_VISIBLE) && rectContains(screenRect(*w), p)) return *it;
  }
  return nullptr;
}

void raiseTopLevel(HWND h, bool repaint) {
  auto& tl = wm().topLevel;
  tl.erase(std::remove(tl.begin(), tl.end(), h), tl.end());
  tl.push_back(h);
  if (Window* w = wm().get(h); repaint && w && isVisible(*w)) invalidateScreen(screenRect(*w));
}

std::vector<RECT> visibleRegion(const Window& w, bool clientOnly) {
  if (!isVisible(w)) return {};
  RECT area = clientOnly ? clientScreenRect(w) : screenRect(w);
  // Clipped by every ancestor's client area.
  for (const Window* p = wm().get(w.parent); p; p = wm().get(p->parent)) area = rectIntersect(area, clientScreenRect(*p));
  area = rectIntersect(area, RECT{0, 0, Device::current().screen().width, Device::current().screen().height});
  std::vector<RECT> region;
  if (!rectEmpty(area)) region.push_back(area);
  // Windows on this device always clip their children and their siblings:
  // take away the visible children, the siblings above this window and its
  // ancestors, and the top-level windows above its top-level window.
  for (HWND c : w.children)
    if (const Window* cw = wm().get(c); cw && (cw->style & WS_VISIBLE)) region = rectSubtract(region, screenRect(*cw));
  const Window* node = &w;
  while (node) {
    const std::vector<HWND>& siblings = node->parent ? wm().get(node->parent)->children : wm().topLevel;
    auto it = std::find(siblings.begin(), siblings.end(), node->handle);
    if (it != siblings.end())
      for (++it; it != siblings.end(); ++it)
        if (const Window* s = wm().get(*it); s && (s->style & WS_VISIBLE)) region = rectSubtract(region, screenRect(*s));
    node = wm().get(node->parent);
  }
  return region;
}

void invalidateScreen(const RECT& r) {
  for (auto& [h, w] : wm().windows) {
    if (w.destroying || !isVisible(w)) continue;
    RECT cs = clientScreenRect(w);
    RECT hit = rectIntersect(cs, r);
    RECT whole = rectIntersect(screenRect(w), r);
    if (!rectEmpty(whole)) w.nonClientDirty = true;
    if (rectEmpty(hit)) continue;
    RECT local{hit.left - cs.left, hit.top - cs.top, hit.right - cs.left, hit.bottom - cs.top};
    w.invalid = rectEmpty(w.invalid) ? local : rectUnion(w.invalid, local);
    w.erase = true;
  }
}

}  // namespace wince

using namespace wince;

WINUSERAPI ATOM WINAPI RegisterClassW(const WNDCLASSW* wc) {
  WINCE_TRACE("RegisterClassW");
  wince_trace_.args(wc ? wc->lpszClassName : nullptr);
  if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) {
    Device::current().lastError() = ERROR_INVALID_PARAMETER;
    return wince_trace_.result(static_cast<ATOM>(0));
  }
  std::u16string key = classKey(wc->lpszClassName);
  auto& classes = wm().classes;
  if (classes.count(key)) {
    Device::current().lastError() = ERROR_CLASS_ALREADY_EXISTS;
    return wince_trace_.result(static_cast<ATOM>(0));
  }
  WindowClass c;
  c.name = wc->lpszClassName;
  c.style = wc->style;
  c.proc = wc->lpfnWndProc;
  c.instance = wc->hInstance;
  c.background = wc->hbrBackground;
  classes.emplace(key, c);
  Device::current().accounting().acquire(ObjectKind::Class);
  return wince_trace_.result(static_cast<ATOM>(0xC000 + classes.size()));
}

WINUSERAPI BOOL WINAPI UnregisterClassW(LPCWSTR name, HINSTANCE instance) {
  WINCE_TRACE("UnregisterClassW");
  wince_trace_.args(name, instance);
  auto& classes = wm().classes;
  auto it = classes.find(classKey(name));
  if (it == classes.end() || it->second.system || it->second.instance != instance) {
    Device::current().lastError() = ERROR_CLASS_DOES_NOT_EXIST;
    return wince_trace_.result(FALSE);
  }
  if (it->second.windows > 0) {
    Device::current().lastError() = ERROR_CLASS_HAS_WINDOWS;
    return wince_trace_.result(FALSE);
  }
  classes.erase(it);
  Device::current().accounting().release(ObjectKind::Class);
  return wince_trace_.result(TRUE);
}

namespace wince {
void registerSystemClass(LPCWSTR name, WNDPROC proc, HBRUSH background) {
  WindowClass c;
  c.name = name;
  c.proc = proc;
  c.background = background;
  c.system = true;
  wm().classes.emplace(classKey(name), c);
}
}  // namespace wince

WINUSERAPI HWND WINAPI CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x,
                                       int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                                       LPVOID param) {
  WINCE_TRACE("CreateWindowExW");
  wince_trace_.args(exStyle, className, windowName, style, x, y, width, height, parent, menu, instance, param);
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

WINUSERAPI BOOL WINAPI IsWindowVisible(HWND hWnd) {
  Window* w = wm().get(hWnd);
  return w && isVisible(*w);
}

WINUSERAPI BOOL WINAPI ShowWindow(HWND hWnd, int cmd) {
  WINCE_TRACE("ShowWindow");
  wince_trace_.args(hWnd, cmd);
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(FALSE);
  BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
  bool show = cmd != SW_HIDE;
  if (show == static_cast<bool>(wasVisible)) return wince_trace_.result(wasVisible);
  RECT area = screenRect(*w);
  if (show) {
    w->style |= WS_VISIBLE;
    SendMessageW(hWnd, WM_SHOWWINDOW, TRUE, 0);
    invalidateScreen(area);
    // A top-level window shown comes to the top.
    if (!w->parent && cmd != SW_SHOWNA) raiseTopLevel(hWnd);
  } else {
    SendMessageW(hWnd, WM_SHOWWINDOW, FALSE, 0);
    w->style &= ~WS_VISIBLE;
    invalidateScreen(area);
  }
  return wince_trace_.result(wasVisible);
}

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
