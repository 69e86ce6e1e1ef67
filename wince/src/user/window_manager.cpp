// The window manager as the device holds it: its construction and shutdown,
// and the lookups every file of it shares.
#include "window_manager.h"

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

}  // namespace wince
