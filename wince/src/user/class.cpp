// Window classes: registration of the program's classes and of the
// system's own (controls, dialogs, menus, message boxes).
#include <windows.h>

#include <dlfcn.h>

#include "device/trace.h"
#include "user/dialog.h"
#include "user/wm_impl.h"

namespace wince {

std::u16string classKey(LPCWSTR name) {
  std::u16string k = textOf(name);
  for (char16_t& c : k)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return k;
}

void registerSystemClass(LPCWSTR name, WNDPROC proc, HBRUSH background) {
  WindowClass c;
  c.name = name;
  c.proc = proc;
  c.background = background;
  c.system = true;
  wm().classes.emplace(classKey(name), c);
}

namespace {
// True when a registered class, a live window, a dialog or a timer has a
// procedure `matches` takes.
template <class Matches>
bool anyProcedure(Matches matches) {
  auto held = [&](auto proc) { return proc && matches(reinterpret_cast<const void*>(proc)); };
  const WindowManager::Impl& m = wm();
  for (const auto& [key, c] : m.classes)
    if (held(c.proc)) return true;
  for (const auto& [h, w] : m.windows)
    if (held(w.proc)) return true;
  for (const auto& [h, d] : m.dialogs)
    if (d && held(d->proc)) return true;
  for (const Timer& t : m.timers)
    if (held(t.proc)) return true;
  return false;
}
}  // namespace

bool libraryCodeInUse(const void* base) {
  if (!base) return false;
  return anyProcedure([base](const void* proc) {
    Dl_info info{};
    return dladdr(proc, &info) && info.dli_fbase == base;
  });
}

bool procedureInUse(const void* proc) {
  return proc && Device::exists() && anyProcedure([proc](const void* p) { return p == proc; });
}

}  // namespace wince

using namespace wince;

WINUSERAPI ATOM WINAPI RegisterClassW(const WNDCLASSW* wc) {
  WINCE_TRACE("RegisterClassW");
  wince_trace_.args(wc ? wc->lpszClassName : nullptr);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, static_cast<ATOM>(0));
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
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, FALSE);
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
