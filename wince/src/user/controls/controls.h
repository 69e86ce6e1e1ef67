// Inside of the system's controls: each control's window procedure and the
// state it keeps on its window.
#pragma once
#include <windows.h>

#include "user/wm_impl.h"

namespace wince {

LRESULT CALLBACK buttonProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK editProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK staticProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK comboProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK comboListProc(HWND, UINT, WPARAM, LPARAM);
extern const char16_t kComboListClass[];

// The state a control keeps on its window (read with systemWindowState),
// made on WM_CREATE and freed with the window.
template <class T>
T* attachControlState(HWND h) {
  Window* w = wm().get(h);
  if (!w) return nullptr;
  T* s = new T;
  w->extra = s;
  w->onDestroyed = [s] { delete s; };
  return s;
}

// WM_COMMAND with a notification code to the control's parent.
void notifyParent(HWND control, WORD code);
// The control's own style bits (the low word).
DWORD controlStyle(HWND control);

}  // namespace wince
