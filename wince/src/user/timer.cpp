// Timers: SetTimer and KillTimer, WM_TIMER when one is due, and device time
// passing from one timer to the next.
#include <windows.h>

#include <algorithm>

#include "user/wm_impl.h"

namespace wince {

namespace {

uint64_t nextTimerDue() {
  uint64_t due = UINT64_MAX;
  for (const Timer& t : wm().timers) due = std::min(due, t.due);
  return due;
}

}  // namespace

bool takeTimer(MSG& msg, HWND only) {
  auto& m = wm();
  uint64_t now = Device::current().clock().now();
  for (Timer& t : m.timers) {
    if (t.due <= now && (!only || t.hwnd == only)) {
      msg = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), static_cast<DWORD>(now), m.pen};
      t.due = now + std::max<UINT>(t.elapse, 1);  // missed periods are not made up for
      return true;
    }
  }
  return false;
}

// Time passes up to the next timer, which then runs; the rest of the wait
// goes back to the front of the queue.
void passTime(const InputEvent& wait) {
  Device& d = Device::current();
  uint64_t end = d.clock().now() + wait.ms;
  uint64_t due = nextTimerDue();
  if (due < end) {
    d.clock().advanceTo(due);
    InputEvent rest = wait;
    rest.ms = end - d.clock().now();
    d.input().pushFront(rest);
    return;
  }
  d.clock().advanceTo(end);
}

uint64_t WindowManager::nextTimerDue() const { return wince::nextTimerDue(); }

}  // namespace wince

using namespace wince;

WINUSERAPI UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  auto& m = wm();
  if (hWnd && !windowOf(hWnd)) return 0;
  uint64_t due = Device::current().clock().now() + std::max<UINT>(elapse, 1);
  if (!hWnd) {
    // A timer of no window: the id asked for is ignored, each gets its own.
    UINT_PTR fresh = 0x100;
    while (std::any_of(m.timers.begin(), m.timers.end(), [&](const Timer& t) { return !t.hwnd && t.id == fresh; }))
      ++fresh;
    m.timers.push_back(Timer{nullptr, fresh, elapse, due, proc});
    return fresh;
  }
  for (Timer& t : m.timers) {
    if (t.hwnd == hWnd && t.id == id) {
      t = Timer{hWnd, id, elapse, due, proc};
      return id ? id : 1;
    }
  }
  m.timers.push_back(Timer{hWnd, id, elapse, due, proc});
  return id ? id : 1;
}

WINUSERAPI BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR id) {
  auto& t = wm().timers;
  auto it = std::find_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hWnd && x.id == id; });
  if (it == t.end()) return FALSE;
  t.erase(it);
  return TRUE;
}
