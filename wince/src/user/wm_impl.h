// Inside of the window manager, shared by the files of user/ and the
// shell's own windows.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device.h"
#include "history.h"
#include "user/rect.h"
#include "window_manager.h"

namespace wince {

struct DialogState;  // user/dialog.h

struct WindowClass {
  std::u16string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  HBRUSH background = nullptr;
  int windows = 0;  // live windows of this class
  bool system = false;  // predefined by the platform (BUTTON, EDIT...)
};

struct Window {
  HWND handle = nullptr;
  WindowClass* cls = nullptr;
  WNDPROC proc = nullptr;
  HINSTANCE instance = nullptr;
  std::u16string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // child windows: the parent; top-level: none
  HWND owner = nullptr;   // top-level windows: the owner, if any
  UINT_PTR id = 0;
  RECT rect{};  // window rectangle: parent client coordinates (screen for top-level)
  std::vector<HWND> children;  // bottom to top
  RECT invalid{};              // pending update area, client coordinates
  bool erase = false;
  bool nonClientDirty = false;  // caption and border need drawing
  bool destroying = false;
  HFONT font = nullptr;  // WM_SETFONT
  LONG userData = 0;
  std::function<void()> onDestroyed;  // internal hook for dialogs and controls
  void* extra = nullptr;              // control or dialog state (owned elsewhere)
};

struct MenuItem {
  UINT flags;
  UINT_PTR id;
  std::u16string text;
  RECT rect{};  // client coordinates of the menu window
};

struct Menu {
  std::vector<MenuItem> items;
};

struct Timer {
  HWND hwnd;
  UINT_PTR id;
  UINT elapse;
  uint64_t due;
  TIMERPROC proc;
};

struct WindowManager::Impl {
  std::map<std::u16string, WindowClass> classes;  // key: lower-case name
  std::map<HWND, Window> windows;
  std::vector<HWND> topLevel;  // bottom to top
  std::deque<MSG> queue;
  std::vector<Timer> timers;
  HWND capture = nullptr;
  HWND focus = nullptr;
  HWND foreground = nullptr;
  bool quit = false;
  uintptr_t nextHandle = 0x20000;
  POINT pen{0, 0};
  // What was shown, the most recent kept (WindowManager::kHistoryKept).
  History<WindowManager::ShownMessageBox> boxes{WindowManager::kHistoryKept};
  int openBox = -1;  // number in boxes of the box on screen, or -1
  std::map<HMENU, Menu> menus;
  History<WindowManager::ShownMenu> shownMenus{WindowManager::kHistoryKept};
  bool menuOpen = false;
  std::map<HWND, DialogState*> dialogs;  // windows run by the dialog manager
  History<WindowManager::ShownDialog> shownDialogs{WindowManager::kHistoryKept};
  std::optional<std::vector<std::u16string>> openList;  // entries of a dropped-down combo list
  // DCs of windows handed out and not yet released: what each draws to is
  // worked out again whenever windows appear, move, go or change order.
  struct HeldDc {
    HWND window;
    bool client;     // the client area, or the whole window
    bool limited;    // BeginPaint's DC: only the update area
    RECT limit;      // that area, in the window's client coordinates
  };
  std::map<HDC, HeldDc> heldDcs;
  int calls = 0;                                // window procedures and modal loops running
  std::vector<std::function<void()>> afterCalls;  // put off until calls is 0

  Window* get(HWND h) {
    auto it = windows.find(h);
    return it == windows.end() || it->second.destroying ? nullptr : &it->second;
  }
};

// Helpers shared by the window manager's files, by the file that defines them.

// window_manager.cpp: the state and the lookups.
WindowManager::Impl& wm();
Window* windowOf(HWND h);  // null (and ERROR_INVALID_WINDOW_HANDLE) for a handle that is not a live window
// Text of a u16 window-text pointer argument.
std::u16string textOf(LPCWSTR s);

// class.cpp: classes.
// Registers a class of the system the first time it is needed; a class
// already registered under the name stays as it is.
void registerSystemClass(LPCWSTR name, WNDPROC proc, HBRUSH background = nullptr);
// A class name as Impl::classes keys it: class names match whatever their case.
std::u16string classKey(LPCWSTR name);
// The state a system window (control, menu, message box, drop-down list)
// keeps in Window::extra, or null once it is gone.
template <class T>
T* systemWindowState(HWND h) {
  Window* w = wm().get(h);
  return w ? static_cast<T*>(w->extra) : nullptr;
}

// True when a registered class, a live window, a dialog or a timer has its
// procedure in the library mapped at `base` (dladdr's base of its code): the
// library must stay mapped while anything can still call it.
bool libraryCodeInUse(const void* base);
// True when a registered class, a live window, a dialog or a timer holds
// exactly this procedure (false without a device).
bool procedureInUse(const void* proc);

// window.cpp: the window tree.
// The top-level window that holds h (h itself when it is top-level); null
// when h, or one of its ancestors, is not a live window.
HWND topLevelOf(HWND h);
// True when `child` is `ancestor` or lies inside it (a child, a child's
// child...).
bool isDescendant(HWND child, HWND ancestor);

// winpos.cpp: positions and the order of top-level windows.
RECT screenRect(const Window& w);       // window rectangle in screen coordinates
RECT clientScreenRect(const Window& w);  // client area in screen coordinates
RECT clientInsets(const Window& w);      // non-client widths: left, top, right, bottom
// Puts a top-level window above the others. With `repaint`, a visible
// window repaints where it is (it may have been partly covered).
void raiseTopLevel(HWND h, bool repaint = false);

// visibility.cpp: what is visible where.
bool isVisible(const Window& w);  // the window and all its ancestors visible
// The topmost visible top-level window under a screen point, or null.
HWND topLevelAt(POINT p);
// The deepest visible, enabled window under a screen point, or null.
HWND windowAt(POINT p);
// Part of the screen a window's client area may draw to.
std::vector<RECT> visibleRegion(const Window& w, bool clientOnly);
void invalidateScreen(const RECT& r);  // everything shown in r must repaint

// paint.cpp: DCs of windows.
// Brings every DC of a window still held up to date with where its window
// is and what now covers it (a DC of a window that is gone draws nothing).
void refreshHeldDcs();

// messages.cpp: the queue, the loops and input.
// What a message read wants (GetMessageW's and PeekMessageW's window and
// range; a range of 0 to 0 is every message) and whether it removes what it
// reads. The default is every message, removed.
struct MessageFilter {
  HWND window = nullptr;
  UINT first = 0, last = 0;
  bool remove = true;
  bool wants(UINT message) const { return (!first && !last) || (message >= first && message <= last); }
};
// The next message to handle that `filter` wants; input is taken from the
// device's input queue, an event at a time until such a message is ready,
// and the feeder is asked for more only when allowFeeder. What the filter
// does not want stays queued. False: nothing to do (no such message, no
// input).
bool nextMessage(MSG& msg, bool allowFeeder, const MessageFilter& filter = {});
// Runs a modal loop until done() is true. False: the input ran out first.
// onInput may take an input event for the loop's owner before it becomes a
// message, onMessage a queued message before it is dispatched (as a
// dialog's loop hands messages to IsDialogMessage); true: taken.
bool modalLoop(const std::function<bool()>& done, const std::function<bool(const InputEvent&)>& onInput,
               const std::function<bool(const MSG&)>& onMessage = nullptr);
// Runs a popup window of the system (menu, message box, drop-down list,
// open-file dialog) modally: `state` is its Window::extra while it runs and
// the capture is suspended; the popup is shown and painted, the loop runs
// as modalLoop's until done(), then the popup is destroyed. False: the
// input ran out first.
bool runSystemPopup(HWND popup, void* state, const std::function<bool()>& done,
                    const std::function<bool(const InputEvent&)>& onInput);
void deliverInput(const InputEvent& e);
void runUntilIdle();
// A window procedure or a modal loop running: the work put off with
// WindowManager::afterCalls runs when the last of them returns.
class InCall {
 public:
  InCall() { ++wm().calls; }
  ~InCall();
  InCall(const InCall&) = delete;
  InCall& operator=(const InCall&) = delete;
};

// timer.cpp: timers.
// A WM_TIMER for the first timer due now, whose next period starts now.
// False: no timer is due. With a window, only that window's timers.
bool takeTimer(MSG& msg, HWND only = nullptr);
// Device time passes for a wait event up to the next timer that falls due
// within it; the rest of the wait goes back to the front of the input queue.
void passTime(const InputEvent& wait);

// focus.cpp: focus and capture.
// Takes the pen capture away while a modal window runs; the window that
// held it gets it back at the end if it is still there.
class CaptureSuspended {
 public:
  CaptureSuspended() : held_(wm().capture) { wm().capture = nullptr; }
  ~CaptureSuspended() {
    if (wm().get(held_)) wm().capture = held_;
  }
  CaptureSuspended(const CaptureSuspended&) = delete;
  CaptureSuspended& operator=(const CaptureSuspended&) = delete;

 private:
  HWND held_;
};

// paint.cpp: the non-client area and the paint of system windows.
void paintNonClient(Window& w);  // caption bar and border
// Begins the paint of a system window: a white client area and transparent
// text. Answers the DC; `client` receives the client rectangle.
HDC beginSystemPaint(HWND h, PAINTSTRUCT& ps, RECT& client);
// A black one-pixel frame around r.
void frameRect(HDC dc, const RECT& r);

}  // namespace wince
