// aygshell.dll for desktop Win32: the two Pocket PC shell calls the item
// uses, so that crestitem.dll imports them by name as it does on the device.
//
// Desktop differences, by design:
// - There is no navigation bar. SHIDIF_DONEBUTTON gives the dialog an "OK"
//   push button of its own (control id IDOK, top right of the client area);
//   tapping it sends the dialog WM_COMMAND with IDOK in the low word, as the
//   device's navigation-bar OK does. Its lParam is the button, not 0.
// - Full-screen sizing fills the desktop work area below a 26-pixel band
//   standing for the navigation bar, or the whole client area of the parent
//   when the dialog is a child window.
// - The tap-and-hold recogniser shows no animation.
#define CRESTUNE_BUILDING_AYGSHELL
#include <aygshell.h>

#include <stdlib.h>

#define HOLD_MS 500          // how long the pen must rest
#define SLOP_PIXELS 5        // how far it may wander meanwhile
#define NAVIGATION_BAR_HEIGHT 26
#define DONE_BUTTON_WIDTH 40
#define DONE_BUTTON_HEIGHT 20

static HINSTANCE ThisModule;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    ThisModule = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

// The screen position of a mouse message, from its own coordinates: posted
// messages carry the cursor position in msg.pt, not the pen's.
static POINT MessageScreenPoint(const MSG* msg) {
  POINT point;
  point.x = (short)LOWORD(msg->lParam);
  point.y = (short)HIWORD(msg->lParam);
  ClientToScreen(msg->hwnd, &point);
  return point;
}

// With SHRG_RETURNCMD: the pen resting within the slop for the hold time is a
// context-menu gesture (GN_CONTEXTMENU). A button message, or a move beyond
// the slop, before that is not (0), and that message stays in the queue for
// the window. Moves within the slop are consumed. Other messages wait.
extern "C" AYGSHELLAPI DWORD WINAPI SHRecognizeGesture(SHRGINFO* info) {
  POINT start;
  DWORD hold, began, result = 0;
  BOOL tookCapture;
  if (!info || info->cbSize != sizeof(SHRGINFO) || !(info->dwFlags & SHRG_RETURNCMD) ||
      !IsWindow(info->hwndClient))
    return 0;
  hold = (info->dwFlags & SHRG_LONGDELAY) ? HOLD_MS * 2 : HOLD_MS;
  start = info->ptDown;
  ClientToScreen(info->hwndClient, &start);
  tookCapture = GetCapture() != info->hwndClient;
  if (tookCapture) SetCapture(info->hwndClient);

  began = GetTickCount();
  for (;;) {
    MSG msg;
    DWORD elapsed = GetTickCount() - began;
    if (elapsed >= hold) {
      result = GN_CONTEXTMENU;
      break;
    }
    if (!IsWindow(info->hwndClient)) break;
    if (PeekMessageW(&msg, NULL, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE)) {
      if (msg.message != WM_MOUSEMOVE) break;
      POINT now = MessageScreenPoint(&msg);
      if (abs(now.x - start.x) > SLOP_PIXELS || abs(now.y - start.y) > SLOP_PIXELS) break;
      PeekMessageW(&msg, NULL, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE);
      continue;
    }
    // Wakes for input that arrives from now on; what is queued already is not
    // a mouse message, and waits for the window.
    MsgWaitForMultipleObjectsEx(0, NULL, hold - elapsed, QS_MOUSE | QS_POSTMESSAGE, 0);
  }

  if (tookCapture && GetCapture() == info->hwndClient) ReleaseCapture();
  return result;
}

static void SizeFullScreen(HWND dialog) {
  RECT area;
  HWND parent = GetParent(dialog);
  if ((GetWindowLongW(dialog, GWL_STYLE) & WS_CHILD) && parent) {
    GetClientRect(parent, &area);
  } else {
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0))
      SetRect(&area, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    area.top += NAVIGATION_BAR_HEIGHT;
  }
  MoveWindow(dialog, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
}

static void AddDoneButton(HWND dialog) {
  RECT client;
  HWND button;
  if (GetDlgItem(dialog, IDOK)) return;  // the dialog has its own OK
  GetClientRect(dialog, &client);
  button = CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                           client.right - DONE_BUTTON_WIDTH - 2, 2, DONE_BUTTON_WIDTH, DONE_BUTTON_HEIGHT, dialog,
                           (HMENU)(INT_PTR)IDOK, ThisModule, NULL);
  if (!button) return;
  SendMessageW(button, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
  SetWindowPos(button, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

extern "C" AYGSHELLAPI BOOL WINAPI SHInitDialog(PSHINITDLGINFO info) {
  if (!info || !IsWindow(info->hDlg)) return FALSE;
  if (!(info->dwMask & SHIDIM_FLAGS)) return TRUE;
  if (info->dwFlags & (SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR | SHIDIF_SIZEDLG))
    SizeFullScreen(info->hDlg);
  if (info->dwFlags & SHIDIF_DONEBUTTON) AddDoneButton(info->hDlg);
  return TRUE;
}
