// Full-screen dialogs of the Pocket PC shell: SHInitDialog sizes a dialog to
// the screen below the navigation bar and puts its "ok" button in that bar.
#include <aygshell.h>

#include "device.h"
#include "device/trace.h"
#include "shell_state.h"
#include "user/wm_impl.h"

namespace wince {

namespace {

constexpr int kNavBarHeight = 26;
constexpr int kOkSize = 22;  // diameter of the round "ok"
constexpr char16_t kDoneBarClass[] = u"#DoneBar";

struct DoneBar {
  HWND dialog = nullptr;
  bool pressed = false;
};

RECT okRect(int width) {
  int top = (kNavBarHeight - kOkSize) / 2;
  return RECT{width - kOkSize - 4, top, width - 4, top + kOkSize};
}

void paintBar(HWND h, const DoneBar& bar) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(h, &ps);
  RECT c;
  GetClientRect(h, &c);
  HBRUSH navy = CreateSolidBrush(RGB(0, 0, 132));
  FillRect(dc, &c, navy);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  RECT ok = okRect(c.right);
  if (Window* d = wm().get(bar.dialog)) {
    RECT title{6, 0, ok.left - 4, c.bottom};
    DrawTextW(dc, d->text.c_str(), -1, &title, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
  }
  // The round "ok": white on the bar, inverted while the pen is on it.
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(WHITE_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, bar.pressed ? navy : GetStockObject(WHITE_BRUSH));
  Ellipse(dc, ok.left, ok.top, ok.right, ok.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  SetTextColor(dc, bar.pressed ? RGB(255, 255, 255) : RGB(0, 0, 132));
  DrawTextW(dc, u"ok", 2, &ok, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  SelectObject(dc, oldFont);
  DeleteObject(navy);
  EndPaint(h, &ps);
}

void pressOk(const DoneBar& bar) { PostMessageW(bar.dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0); }

LRESULT CALLBACK doneBarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* bar = systemWindowState<DoneBar>(h);
  if (!bar) return DefWindowProcW(h, msg, wp, lp);
  RECT c;
  GetClientRect(h, &c);
  POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  switch (msg) {
    case WM_PAINT: paintBar(h, *bar); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
      if (rectContains(okRect(c.right), p)) {
        bar->pressed = true;
        SetCapture(h);
        InvalidateRect(h, nullptr, FALSE);
      }
      return 0;
    case WM_LBUTTONUP:
      if (bar->pressed) {
        bar->pressed = false;
        if (GetCapture() == h) ReleaseCapture();
        InvalidateRect(h, nullptr, FALSE);
        if (rectContains(okRect(c.right), p)) pressOk(*bar);
      }
      return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

// The topmost visible done bar, or null.
HWND topDoneBar() {
  auto& m = wm();
  for (auto it = m.topLevel.rbegin(); it != m.topLevel.rend(); ++it) {
    Window* w = m.get(*it);
    if (w && w->cls->name == kDoneBarClass && isVisible(*w) && w->extra) return *it;
  }
  return nullptr;
}

HWND barOf(HWND dialog) {
  for (HWND t : wm().topLevel) {
    Window* w = wm().get(t);
    if (w && w->cls->name == kDoneBarClass && w->extra && static_cast<DoneBar*>(w->extra)->dialog == dialog) return t;
  }
  return nullptr;
}

void addDoneBar(HWND dialog) {
  if (barOf(dialog)) return;
  registerSystemClass(kDoneBarClass, doneBarProc);
  const int width = Device::current().screen().width;
  HWND bar = CreateWindowExW(WS_EX_TOPMOST, kDoneBarClass, u"", WS_POPUP, 0, 0, width, kNavBarHeight, dialog, nullptr,
                             nullptr, nullptr);
  if (!bar) return;
  auto* state = new DoneBar{dialog, false};
  Window* w = wm().get(bar);
  w->extra = state;
  w->onDestroyed = [state] { delete state; };
  ShowWindow(bar, SW_SHOWNA);
  // Over the shell's own bar whatever order the windows were shown in.
  raiseTopLevel(bar);
}

void sizeFullScreen(HWND dialog) {
  Window* w = wm().get(dialog);
  Screen& s = Device::current().screen();
  // No caption of its own: the navigation bar shows the title.
  w->style &= ~WS_CAPTION;
  w->nonClientDirty = true;
  MoveWindow(dialog, 0, kNavBarHeight, s.width, s.height - kNavBarHeight, TRUE);
}

}  // namespace

HWND ShellState::doneButtonOwner() const {
  HWND bar = topDoneBar();
  return bar ? static_cast<DoneBar*>(wm().get(bar)->extra)->dialog : nullptr;
}

RECT ShellState::doneBarRect() const {
  HWND bar = topDoneBar();
  return bar ? screenRect(*wm().get(bar)) : RECT{0, 0, 0, 0};
}

RECT ShellState::doneButtonRect() const {
  HWND bar = topDoneBar();
  if (!bar) return RECT{0, 0, 0, 0};
  RECT b = screenRect(*wm().get(bar));
  RECT ok = okRect(b.right - b.left);
  OffsetRect(&ok, b.left, b.top);
  return ok;
}

bool ShellState::tapDoneButton() {
  HWND bar = topDoneBar();
  if (!bar) return false;
  pressOk(*static_cast<DoneBar*>(wm().get(bar)->extra));
  return true;
}

}  // namespace wince

using namespace wince;

WINBASEAPI BOOL WINAPI SHInitDialog(PSHINITDLGINFO info) {
  WINCE_TRACE("SHInitDialog");
  wince_trace_.args(info ? info->dwMask : 0u, info ? info->hDlg : nullptr, info ? info->dwFlags : 0u);
  if (!info || !windowOf(info->hDlg)) {
    Device::current().lastError() = ERROR_INVALID_PARAMETER;
    return wince_trace_.result(FALSE);
  }
  if (info->dwMask & SHIDIM_FLAGS) {
    if (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIZEDLG | SHIDIF_FULLSCREENNOMENUBAR))
      sizeFullScreen(info->hDlg);
    if (info->dwFlags & SHIDIF_DONEBUTTON) addDoneBar(info->hDlg);
  }
  return wince_trace_.result(TRUE);
}
