// The Pocket PC shell's tap-and-hold recogniser.
#include <aygshell.h>

#include <cstdlib>

#include "device.h"
#include "device/trace.h"
#include "user/wm_impl.h"

namespace {
constexpr uint64_t kHoldMs = 500;   // how long the pen must rest
constexpr int kSlopPixels = 5;      // how far it may wander meanwhile
constexpr UINT kMouseFirst = WM_MOUSEMOVE, kMouseLast = 0x020A;  // the pen's (mouse) messages

bool beyondSlop(POINT start, POINT now) {
  return std::abs(now.x - start.x) > kSlopPixels || std::abs(now.y - start.y) > kSlopPixels;
}

// The first pen message already in the queue, whichever window it is for.
std::deque<MSG>::iterator queuedPenMessage() {
  auto& q = wince::wm().queue;
  auto it = q.begin();
  while (it != q.end() && (it->message < kMouseFirst || it->message > kMouseLast)) ++it;
  return it;
}
}  // namespace

using wince::Device;
using wince::InputEvent;

// With SHRG_RETURNCMD the recogniser watches the pen itself: the pen resting
// for the hold time is a context-menu gesture; a pen up, or a move beyond the
// slop, before that is not, and that event stays in the queue for the window.
// Pen messages already queued come first, then the person's input.
WINBASEAPI DWORD WINAPI SHRecognizeGesture(SHRGINFO* info) {
  WINCE_TRACE("SHRecognizeGesture");
  wince_trace_.args(info ? info->cbSize : 0u, info ? info->hwndClient : nullptr, info ? info->ptDown.x : 0,
                    info ? info->ptDown.y : 0, info ? info->dwFlags : 0u);
  if (!info || info->cbSize != sizeof(SHRGINFO) || !(info->dwFlags & SHRG_RETURNCMD) ||
      !wince::windowOf(info->hwndClient))
    return wince_trace_.result(static_cast<DWORD>(0));
  Device& d = Device::current();
  uint64_t hold = (info->dwFlags & SHRG_LONGDELAY) ? kHoldMs * 2 : kHoldMs;
  uint64_t held = 0;
  POINT start = info->ptDown;
  ClientToScreen(info->hwndClient, &start);
  for (;;) {
    if (auto queued = queuedPenMessage(); queued != wince::wm().queue.end()) {
      const wince::Window* w = wince::wm().get(queued->hwnd);
      RECT client = w ? wince::clientScreenRect(*w) : RECT{};
      POINT now{client.left + static_cast<short>(LOWORD(queued->lParam)),
                client.top + static_cast<short>(HIWORD(queued->lParam))};
      if (queued->message != WM_MOUSEMOVE || beyondSlop(start, now)) return wince_trace_.result(static_cast<DWORD>(0));
      wince::wm().queue.erase(queued);
      continue;
    }
    const InputEvent* e = d.input().peek();
    if (!e) return wince_trace_.result(static_cast<DWORD>(0));
    if (e->kind == InputEvent::Kind::Wait) {
      InputEvent wait = *d.input().next();
      uint64_t need = hold - held;
      if (wait.ms >= need) {
        d.clock().advance(need);
        if (wait.ms > need) {
          wait.ms -= need;
          d.input().pushFront(wait);
        }
        return wince_trace_.result(static_cast<DWORD>(GN_CONTEXTMENU));
      }
      d.clock().advance(wait.ms);
      held += wait.ms;
      continue;
    }
    if (e->kind == InputEvent::Kind::PenMove) {
      if (beyondSlop(start, e->pt))
        return wince_trace_.result(static_cast<DWORD>(0));
      d.input().next();
      continue;
    }
    return wince_trace_.result(static_cast<DWORD>(0));
  }
}
