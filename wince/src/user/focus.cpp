// Focus and capture: the window keys go to, the window that holds the pen,
// and the foreground window.
#include <windows.h>

#include "device/trace.h"
#include "user/wm_impl.h"

using namespace wince;

WINUSERAPI HWND WINAPI SetCapture(HWND hWnd) {
  WINCE_TRACE("SetCapture");
  wince_trace_.args(hWnd);
  HWND old = wm().capture;
  if (windowOf(hWnd)) wm().capture = hWnd;
  return wince_trace_.result(old);
}

WINUSERAPI BOOL WINAPI ReleaseCapture(void) {
  WINCE_TRACE("ReleaseCapture");
  wince_trace_.args();
  wm().capture = nullptr;
  return wince_trace_.result(TRUE);
}

WINUSERAPI HWND WINAPI GetCapture(void) { return wm().capture; }

WINUSERAPI BOOL WINAPI SetForegroundWindow(HWND hWnd) {
  WINCE_TRACE("SetForegroundWindow");
  wince_trace_.args(hWnd);
  Window* w = windowOf(hWnd);
  if (!w) return wince_trace_.result(FALSE);
  // The top-level window that holds it becomes the foreground window and
  // comes to the top of the screen.
  HWND top = topLevelOf(hWnd);
  if (!top) return wince_trace_.result(FALSE);  // its top-level window is being destroyed
  wm().foreground = top;
  if (wm().topLevel.back() != top) raiseTopLevel(top, true);
  return wince_trace_.result(TRUE);
}

WINUSERAPI HWND WINAPI GetForegroundWindow(void) { return wm().foreground; }

WINUSERAPI HWND WINAPI SetFocus(HWND hWnd) {
  WINCE_TRACE("SetFocus");
  wince_trace_.args(hWnd);
  auto& m = wm();
  HWND old = m.focus;
  if (hWnd && !windowOf(hWnd)) return wince_trace_.result(static_cast<HWND>(nullptr));
  if (old == hWnd) return wince_trace_.result(old);
  m.focus = hWnd;
  if (old && m.get(old)) SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
  if (hWnd && m.get(hWnd)) SendMessageW(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return wince_trace_.result(old);
}

WINUSERAPI HWND WINAPI GetFocus(void) { return wm().focus; }
