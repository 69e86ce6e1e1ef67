// The default dialog procedure: what a dialog does with the messages its own
// procedure leaves (background, colours, WM_CLOSE, the focus), and the keys
// it takes for itself (Tab to the next stop, Enter for the default button,
// Escape to cancel).
#include <windows.h>

#include <algorithm>

#include "user/dialog.h"
#include "user/wm_impl.h"

namespace wince {

namespace {

HWND defaultButton(HWND dialog) {
  Window* d = wm().get(dialog);
  if (!d) return nullptr;
  for (HWND c : d->children)
    if (SendMessageW(c, WM_GETDLGCODE, 0, 0) & DLGC_DEFPUSHBUTTON) return c;
  return nullptr;
}

void sendCommand(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

LRESULT defaultDialogMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: {
      auto dc = reinterpret_cast<HDC>(wp);
      auto brush = reinterpret_cast<HBRUSH>(SendMessageW(hwnd, WM_CTLCOLORDLG, wp, reinterpret_cast<LPARAM>(hwnd)));
      if (!brush) brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      RECT r;
      GetClientRect(hwnd, &r);
      FillRect(dc, &r, brush);
      return 1;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      auto dc = reinterpret_cast<HDC>(wp);
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, RGB(255, 255, 255));
      return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    case WM_CLOSE:
      PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
      return 0;
    case WM_SETFOCUS:
      if (HWND first = nextTabStop(hwnd, nullptr, false)) dialogSetFocus(first);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// Messages whose answer is the dialog procedure's own return value; for
// every other message the answer is DWL_MSGRESULT.
bool answersDirectly(UINT msg) {
  return (msg >= 0x0132 && msg <= WM_CTLCOLORSTATIC) || msg == WM_INITDIALOG || msg == 0x0039 /* WM_COMPAREITEM */ ||
         msg == 0x002E /* WM_VKEYTOITEM */ || msg == 0x002F /* WM_CHARTOITEM */ || msg == 0x0037 /* WM_QUERYDRAGICON */;
}

}  // namespace

HWND nextTabStop(HWND dialog, HWND from, bool previous) {
  Window* d = wm().get(dialog);
  if (!d || d->children.empty()) return nullptr;
  auto isStop = [](HWND c) {
    Window* w = wm().get(c);
    return w && (w->style & WS_TABSTOP) && (w->style & WS_VISIBLE) && !(w->style & WS_DISABLED);
  };
  const std::vector<HWND>& all = d->children;
  const size_t n = all.size();
  // The control that holds `from`, among the dialog's own children. Without
  // one the search starts just before the first control (after the last one
  // going back), so it finds the first (last) stop.
  Window* holder = wm().get(from);
  while (holder && holder->parent != dialog) holder = wm().get(holder->parent);
  size_t pos = previous ? 0 : n - 1;
  if (holder) pos = static_cast<size_t>(std::find(all.begin(), all.end(), holder->handle) - all.begin());
  for (size_t step = 1; step <= n; ++step) {
    size_t i = previous ? (pos + n - step) % n : (pos + step) % n;
    if (isStop(all[i])) return all[i];
  }
  return nullptr;
}

void dialogSetFocus(HWND control) {
  SetFocus(control);
  if (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(control, EM_SETSEL, 0, -1);
}

bool dialogKey(HWND dialog, int key) {
  HWND focus = wm().focus;
  if (focus && !isDescendant(focus, dialog)) return false;
  switch (key) {
    case VK_TAB:
      if (HWND next = nextTabStop(dialog, focus, false)) dialogSetFocus(next);
      return true;
    case VK_RETURN: {
      if (focus && (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
        sendCommand(dialog, GetDlgCtrlID(focus));
        return true;
      }
      HWND def = defaultButton(dialog);
      sendCommand(dialog, def ? GetDlgCtrlID(def) : IDOK);
      return true;
    }
    case VK_ESCAPE:
      sendCommand(dialog, IDCANCEL);
      return true;
  }
  return false;
}

}  // namespace wince

using namespace wince;

WINUSERAPI LRESULT WINAPI DefDlgProcW(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  DialogState* s = dialogState(hwnd);
  if (!s) return DefWindowProcW(hwnd, msg, wp, lp);
  s->msgResult = 0;
  DLGPROC proc = s->proc;
  INT_PTR r = proc ? proc(hwnd, msg, wp, lp) : 0;
  if (msg == WM_SETTEXT) {
    // The navigation bar of a full-screen dialog shows its title.
    for (HWND t : wm().topLevel)
      if (Window* w = wm().get(t); w && w->owner == hwnd) InvalidateRect(t, nullptr, TRUE);
  }
  if (!r && wm().get(hwnd)) return defaultDialogMessage(hwnd, msg, wp, lp);
  if (answersDirectly(msg)) return r;
  s = dialogState(hwnd);
  return s ? s->msgResult : 0;
}
