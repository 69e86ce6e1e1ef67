// Messages: sending, posting, the queue, the default procedure, and the way
// a person's input becomes messages.
#include <windows.h>

#include "device/trace.h"
#include "user/wm_impl.h"

namespace wince {

namespace {

// Client coordinates packed as the platform packs them: each a signed 16-bit
// word, so a point left of or above the window is negative.
LPARAM packPoint(HWND h, POINT screen) {
  Window* w = wm().get(h);
  RECT c = w ? clientScreenRect(*w) : RECT{};
  return MAKELPARAM(static_cast<short>(screen.x - c.left), static_cast<short>(screen.y - c.top));
}

void postInput(HWND target, UINT message, WPARAM wp, LPARAM lp) {
  MSG msg{target, message, wp, lp, static_cast<DWORD>(Device::current().clock().now()), wm().pen};
  wm().queue.push_back(msg);
}

// The paint of one window alone, not of its children; its non-client area
// is drawn on the way if it is due.
bool paintOf(HWND h, MSG& msg) {
  auto& m = wm();
  Window* w = m.get(h);
  if (!w || w->destroying || !isVisible(*w)) return false;
  if (w->nonClientDirty) paintNonClient(*w);
  if (rectEmpty(w->invalid)) return false;
  msg = MSG{h, WM_PAINT, 0, 0, static_cast<DWORD>(Device::current().clock().now()), m.pen};
  return true;
}

// The first window, parents before children, that has an update area.
bool takePaint(HWND h, MSG& msg) {
  if (paintOf(h, msg)) return true;
  for (HWND c : wm().windows.at(h).children)
    if (takePaint(c, msg)) return true;
  return false;
}

// Top-level windows from the bottom up.
bool takePaint(MSG& msg) {
  for (HWND t : wm().topLevel)
    if (takePaint(t, msg)) return true;
  return false;
}

// A message ready now that `f` wants: the first such queued one whose
// window is still there, else that paint, else a timer that is due (a timer
// only when removed: its period starts again when it is taken).
bool takeReady(MSG& msg, const MessageFilter& f) {
  auto& m = wm();
  for (auto it = m.queue.begin(); it != m.queue.end();) {
    if (it->hwnd && !m.get(it->hwnd)) {  // its window has gone
      it = f.remove ? m.queue.erase(it) : std::next(it);
      continue;
    }
    if ((f.window && it->hwnd != f.window) || !f.wants(it->message)) {
      ++it;
      continue;
    }
    msg = *it;
    if (f.remove) m.queue.erase(it);
    return true;
  }
  if (f.wants(WM_PAINT) && (f.window ? paintOf(f.window, msg) : takePaint(msg))) return true;
  return f.remove && f.wants(WM_TIMER) && takeTimer(msg, f.window);
}

}  // namespace

// Turns one input event into messages. Events that only a modal loop of
// the platform understands (a menu choice, a message box answer, a file)
// are refused here: nothing is waiting for them.
void deliverInput(const InputEvent& e) {
  auto& m = wm();
  Device& d = Device::current();
  switch (e.kind) {
    case InputEvent::Kind::PenDown:
    case InputEvent::Kind::PenMove:
    case InputEvent::Kind::PenUp: {
      m.pen = e.pt;
      HWND target = m.capture ? m.capture : windowAt(e.pt);
      if (!target) return;
      UINT msg = e.kind == InputEvent::Kind::PenDown ? WM_LBUTTONDOWN
                 : e.kind == InputEvent::Kind::PenUp ? WM_LBUTTONUP
                                                     : WM_MOUSEMOVE;
      postInput(target, msg, e.kind == InputEvent::Kind::PenUp ? 0 : MK_LBUTTON, packPoint(target, e.pt));
      return;
    }
    case InputEvent::Kind::Char:
      for (char16_t c : e.text)
        if (m.focus) postInput(m.focus, WM_CHAR, c, 1);
      return;
    case InputEvent::Kind::Key:
      if (m.focus) {
        postInput(m.focus, WM_KEYDOWN, static_cast<WPARAM>(e.code), 1);
        postInput(m.focus, WM_KEYUP, static_cast<WPARAM>(e.code), 1);
      }
      return;
    case InputEvent::Kind::Wait:
      passTime(e);
      return;
    default:
      d.reportProblem(std::string("nothing on the screen takes \"") + inputKindName(e.kind) + "\" now");
      return;
  }
}

bool nextMessage(MSG& msg, bool allowFeeder, const MessageFilter& filter) {
  InputQueue& in = Device::current().input();
  for (;;) {
    if (takeReady(msg, filter)) return true;
    if (!allowFeeder && in.empty()) return false;
    std::optional<InputEvent> e = in.next();
    if (!e) return false;
    deliverInput(*e);
  }
}

bool modalLoop(const std::function<bool()>& done, const std::function<bool(const InputEvent&)>& onInput,
               const std::function<bool(const MSG&)>& onMessage) {
  auto& m = wm();
  Device& d = Device::current();
  InCall running;
  while (!done()) {
    MSG msg;
    if (takeReady(msg, {})) {
      if (msg.message == WM_QUIT) {
        // A quit request ends the modal loop; it stays for the main loop.
        m.queue.push_front(msg);
        return false;
      }
      if (onMessage && onMessage(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      continue;
    }
    std::optional<InputEvent> e = d.input().next();
    // The hand's last act may have ended the loop (closed its window).
    if (!e) return done();
    if (onInput && onInput(*e)) continue;
    deliverInput(*e);
  }
  return true;
}

bool runSystemPopup(HWND popup, void* state, const std::function<bool()>& done,
                    const std::function<bool(const InputEvent&)>& onInput) {
  auto& m = wm();
  m.get(popup)->extra = state;
  CaptureSuspended capture;  // given back after the popup has gone
  ShowWindow(popup, SW_SHOW);
  UpdateWindow(popup);
  bool ended = modalLoop(done, onInput);
  if (Window* w = m.get(popup)) {
    w->extra = nullptr;
    DestroyWindow(popup);
  }
  return ended;
}

void runUntilIdle() {
  MSG msg;
  while (nextMessage(msg, false)) {
    if (msg.message == WM_QUIT) {
      wm().quit = true;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

InCall::~InCall() {
  auto& m = wm();
  if (--m.calls > 0) return;
  // Work put off may call procedures again (and put off more): each piece
  // runs once, in the order given.
  while (m.calls == 0 && !m.afterCalls.empty()) {
    std::function<void()> work = std::move(m.afterCalls.front());
    m.afterCalls.erase(m.afterCalls.begin());
    work();
  }
}

void WindowManager::afterCalls(std::function<void()> work) {
  if (impl_->calls == 0) {
    work();
    return;
  }
  impl_->afterCalls.push_back(std::move(work));
}

void WindowManager::runUntilIdle() { wince::runUntilIdle(); }

void WindowManager::wait(uint64_t ms) {
  Device::current().input().push(InputEvent{InputEvent::Kind::Wait, {}, ms, 0, {}});
  wince::runUntilIdle();
}

void WindowManager::input(const InputEvent& e) {
  Device::current().input().push(e);
  wince::runUntilIdle();
}

bool WindowManager::quitRequested() const { return impl_->quit; }

const std::vector<HWND>& WindowManager::topLevelWindows() const { return impl_->topLevel; }

}  // namespace wince

using namespace wince;

WINUSERAPI LRESULT WINAPI SendMessageW(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp) {
  WINCE_TRACE("SendMessageW");
  wince_trace_.args(hWnd, msg, wp, lp);
  if (hWnd == HWND_BROADCAST) {
    // Every top-level window handles it before the call returns.
    std::vector<HWND> all = wm().topLevel;
    for (HWND h : all)
      if (Window* w = wm().get(h)) CallWindowProcW(w->proc, h, msg, wp, lp);
    return wince_trace_.result(static_cast<LRESULT>(TRUE));
  }
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(static_cast<LRESULT>(0));
  return wince_trace_.result(CallWindowProcW(w->proc, hWnd, msg, wp, lp));
}

WINUSERAPI BOOL WINAPI PostMessageW(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp) {
  WINCE_TRACE("PostMessageW");
  wince_trace_.args(hWnd, msg, wp, lp);
  auto& m = wm();
  if (hWnd == HWND_BROADCAST) {
    for (HWND h : m.topLevel) m.queue.push_back(MSG{h, msg, wp, lp, GetTickCount(), m.pen});
    return wince_trace_.result(TRUE);
  }
  // A null window posts to the thread's own queue, as the platform does.
  if (hWnd && !windowOf(hWnd)) return wince_trace_.result(FALSE);
  m.queue.push_back(MSG{hWnd, msg, wp, lp, GetTickCount(), m.pen});
  return wince_trace_.result(TRUE);
}

WINUSERAPI void WINAPI PostQuitMessage(int code) {
  wm().queue.push_back(MSG{nullptr, WM_QUIT, static_cast<WPARAM>(code), 0, GetTickCount(), wm().pen});
}

// A window or a message filter takes only what is wanted; the rest stays
// queued in order for a later read.
WINUSERAPI BOOL WINAPI GetMessageW(LPMSG msg, HWND hWnd, UINT first, UINT last) {
  // With no message and no input left, the device has nothing more to do:
  // the loop ends as if asked to quit.
  if (!nextMessage(*msg, true, MessageFilter{hWnd, first, last, true})) {
    *msg = MSG{nullptr, WM_QUIT, 0, 0, GetTickCount(), wm().pen};
    return FALSE;
  }
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

// A filter of 0 to 0 takes every message; any other takes those from the
// first to the last, both included.
WINUSERAPI BOOL WINAPI PeekMessageW(LPMSG msg, HWND hWnd, UINT first, UINT last, UINT remove) {
  auto& m = wm();
  const MessageFilter filter{hWnd, first, last, (remove & PM_REMOVE) != 0};
  // A look at every message, removing nothing, sees the queue as it is.
  if (!hWnd && !first && !last && !filter.remove) {
    if (m.queue.empty()) return FALSE;
    *msg = m.queue.front();
    return TRUE;
  }
  // Otherwise, like GetMessageW, input already waiting becomes messages an
  // event at a time until one is wanted, and a paint or a due timer is
  // answered; a paint stays until it is validated, so a peek that does not
  // remove sees it too.
  return nextMessage(*msg, false, filter) ? TRUE : FALSE;
}

WINUSERAPI BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

WINUSERAPI LRESULT WINAPI DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    InCall running;
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetTickCount());
    return 0;
  }
  if (!msg->hwnd) return 0;
  Window* w = windowOf(msg->hwnd);
  if (!w) return 0;
  LRESULT r = CallWindowProcW(w->proc, msg->hwnd, msg->message, msg->wParam, msg->lParam);
  // A window that does not paint when asked must not be asked forever.
  if (msg->message == WM_PAINT)
    if (Window* after = wm().get(msg->hwnd)) after->invalid = RECT{};
  return r;
}

WINUSERAPI LRESULT WINAPI CallWindowProcW(WNDPROC proc, HWND hWnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (!proc) return 0;
  InCall running;
  return proc(hWnd, msg, wp, lp);
}

WINUSERAPI LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT msg, WPARAM wp, LPARAM lp) {
  WINCE_TRACE("DefWindowProcW");
  wince_trace_.args(hWnd, msg, wp, lp);
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(static_cast<LRESULT>(0));
  switch (msg) {
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return wince_trace_.result(static_cast<LRESULT>(0));
    case WM_SETTEXT:
      w->text = textOf(reinterpret_cast<LPCWSTR>(lp));
      w->nonClientDirty = true;
      return wince_trace_.result(static_cast<LRESULT>(TRUE));
    case WM_GETTEXT: {
      if (wp == 0 || !lp) return wince_trace_.result(static_cast<LRESULT>(0));
      auto* out = reinterpret_cast<LPWSTR>(lp);
      lstrcpynW(out, w->text.c_str(), static_cast<int>(wp));
      return wince_trace_.result(static_cast<LRESULT>(lstrlenW(out)));
    }
    case WM_GETTEXTLENGTH:
      return wince_trace_.result(static_cast<LRESULT>(w->text.size()));
    case WM_SETFONT:
      w->font = reinterpret_cast<HFONT>(wp);
      if (lp) InvalidateRect(hWnd, nullptr, TRUE);
      return wince_trace_.result(static_cast<LRESULT>(0));
    case WM_GETFONT:
      return wince_trace_.result(reinterpret_cast<LRESULT>(w->font));
    case WM_ERASEBKGND: {
      if (!w->cls->background) return wince_trace_.result(static_cast<LRESULT>(0));
      RECT r;
      GetClientRect(hWnd, &r);
      FillRect(reinterpret_cast<HDC>(wp), &r, w->cls->background);
      return wince_trace_.result(static_cast<LRESULT>(1));
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hWnd, &ps);
      EndPaint(hWnd, &ps);
      return wince_trace_.result(static_cast<LRESULT>(0));
    }
  }
  return wince_trace_.result(static_cast<LRESULT>(0));
}
