// The window manager's state: classes, windows, the message queue, timers,
// capture, focus and the foreground window.
#pragma once
#include <windows.h>

#include <memory>

namespace wince {

class WindowManager {
 public:
  WindowManager();
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace wince
