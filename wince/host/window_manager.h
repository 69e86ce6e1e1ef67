// The window manager: classes, windows, the message queue, timers, capture,
// focus and the foreground window. Hosts see what a person sees of it (the
// windows on the screen, the menus, boxes and dialogs shown) and drive it
// (run until idle, let time pass, deliver input).
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device.h"
#include "history.h"

namespace wince {

class WindowManager {
 public:
  WindowManager();
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  // Height of the caption bar of a top-level window with WS_CAPTION.
  static constexpr int kCaptionHeight = 20;
  // How many of the most recent message boxes, menus and dialogs each record
  // below keeps; older ones are forgotten (their count goes on).
  static constexpr size_t kHistoryKept = 256;

  // Destroys every window (device shutdown, before libraries unload).
  void destroyAllWindows();

  // Message boxes shown since the device started, in order (the most recent
  // kHistoryKept of them kept).
  struct ShownMessageBox {
    std::u16string text;
    std::u16string caption;
    UINT type = 0;
    HWND owner = nullptr;
    int answer = 0;  // 0 while on screen
  };
  const History<ShownMessageBox>& messageBoxes() const;
  // The box on the screen now, or null.
  const ShownMessageBox* openMessageBox() const;

  // Popup menus tracked since the device started, in order (the most recent
  // kHistoryKept of them kept).
  struct ShownMenu {
    std::vector<std::u16string> entries;  // "-" for a separator
    POINT requested{0, 0};                 // the x and y asked for
    UINT flags = 0;
    RECT rect{};                           // where it was drawn, screen coordinates
    UINT_PTR chosen = 0;                   // the command chosen, 0 for none
  };
  const History<ShownMenu>& menusShown() const;
  const ShownMenu* openMenu() const;

  // Modal dialogs run since the device started, in order (the most recent
  // kHistoryKept of them kept, and every one still open).
  struct ShownDialog {
    HWND window = nullptr;
    std::u16string title;  // as shown, after WM_INITDIALOG
    HWND owner = nullptr;
    INT_PTR result = 0;  // DialogBox's answer, once closed
    bool open = true;
  };
  const History<ShownDialog>& dialogsShown() const;
  // The innermost dialog on the screen now, or null.
  const ShownDialog* openDialog() const;
  // Entries of the combo box list dropped down now, or null when none is.
  const std::vector<std::u16string>* openDropDownList() const;

  // Handles every message due now without waiting for input.
  void runUntilIdle();
  // Lets `ms` of device time pass, handling timers and messages on the way.
  void wait(uint64_t ms);
  // Delivers a person's input event now (pen, keys, time).
  void input(const InputEvent& e);
  // Runs `work` once every window procedure and modal loop (menu, dialog,
  // message box) running now has returned; at once when none runs. A
  // program that frees a library there knows that none of the library's
  // code is still on the way out of a call.
  void afterCalls(std::function<void()> work);
  // True when WM_QUIT was taken from the queue.
  bool quitRequested() const;
  // Device time (ms) at which the next timer falls due; UINT64_MAX when no
  // timer runs. Nothing happens on the device before then without input.
  uint64_t nextTimerDue() const;

  // Top-level windows, from the bottom of the z-order to the top (hidden
  // ones included; IsWindowVisible tells).
  const std::vector<HWND>& topLevelWindows() const;

  // The window manager's own state (src/user/wm_impl.h).
  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace wince
