// Our aygshell.dll against the device's behaviour: the tap-and-hold
// recogniser and full-screen dialog set-up.
#include <aygshell.h>

#include "harness.h"

static HWND MakeWindow(LPCWSTR title, DWORD style, HWND parent, int width, int height) {
  return CreateWindowExW(0, L"STATIC", title, style, 0, 0, width, height, parent, NULL, GetModuleHandleW(NULL), NULL);
}

static DWORD Recognize(HWND hwnd, int x, int y, DWORD flags, DWORD* elapsed) {
  SHRGINFO info;
  ZeroMemory(&info, sizeof(info));
  info.cbSize = sizeof(info);
  info.hwndClient = hwnd;
  info.ptDown.x = x;
  info.ptDown.y = y;
  info.dwFlags = flags;
  DWORD start = GetTickCount();
  DWORD result = SHRecognizeGesture(&info);
  *elapsed = GetTickCount() - start;
  return result;
}

static bool TakeQueued(HWND hwnd, UINT message, LPARAM* lParam) {
  MSG msg;
  if (!PeekMessageW(&msg, hwnd, message, message, PM_REMOVE)) return false;
  if (lParam) *lParam = msg.lParam;
  return true;
}

static void GestureTests(HWND hwnd) {
  DWORD elapsed;
  DWORD result;
  LPARAM where = 0;
  PutCursorOn(hwnd, 50, 10);
  Pump();

  result = Recognize(hwnd, 50, 10, SHRG_RETURNCMD, &elapsed);
  ok(result == GN_CONTEXTMENU, "gesture: a resting pen is a context-menu gesture (got %lu)", result);
  ok(elapsed >= 450 && elapsed < 1500, "gesture: recognised after the hold time (%lu ms)", elapsed);
  ok(GetCapture() == NULL, "gesture: capture released after a hold");

  result = Recognize(hwnd, 50, 10, SHRG_RETURNCMD | SHRG_LONGDELAY, &elapsed);
  ok(result == GN_CONTEXTMENU && elapsed >= 950, "gesture: long delay doubles the hold (%lu, %lu ms)", result,
     elapsed);

  PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(50, 10));
  result = Recognize(hwnd, 50, 10, SHRG_RETURNCMD, &elapsed);
  ok(result == 0 && elapsed < 400, "gesture: pen up before the hold is a tap (%lu, %lu ms)", result, elapsed);
  ok(TakeQueued(hwnd, WM_LBUTTONUP, &where) && where == MAKELPARAM(50, 10),
     "gesture: the pen up stays queued for the window");
  ok(GetCapture() == NULL, "gesture: capture released after a tap");

  PostMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(53, 7));
  result = Recognize(hwnd, 50, 10, SHRG_RETURNCMD, &elapsed);
  ok(result == GN_CONTEXTMENU, "gesture: a move within 5 pixels still holds (got %lu)", result);
  ok(!TakeQueued(hwnd, WM_MOUSEMOVE, NULL), "gesture: a move within the slop is consumed");

  static const POINT beyond[] = {{56, 10}, {50, 16}, {44, 4}};
  for (const POINT& p : beyond) {
    PostMessageW(hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    result = Recognize(hwnd, 50, 10, SHRG_RETURNCMD, &elapsed);
    ok(result == 0 && elapsed < 400, "gesture: a move to (%ld,%ld) ends it (%lu, %lu ms)", p.x, p.y, result, elapsed);
    ok(TakeQueued(hwnd, WM_MOUSEMOVE, &where) && where == MAKELPARAM(p.x, p.y),
       "gesture: the move beyond the slop stays queued");
  }

  SHRGINFO bad;
  ZeroMemory(&bad, sizeof(bad));
  bad.hwndClient = hwnd;
  bad.dwFlags = SHRG_RETURNCMD;
  DWORD start = GetTickCount();
  ok(SHRecognizeGesture(&bad) == 0 && GetTickCount() - start < 400, "gesture: a record without cbSize answers 0 at once");
  bad.cbSize = sizeof(bad);
  bad.dwFlags = SHRG_NOTIFYPARENT;
  ok(SHRecognizeGesture(&bad) == 0, "gesture: without SHRG_RETURNCMD nothing is returned");
  ok(SHRecognizeGesture(NULL) == 0, "gesture: no record answers 0");
}

// A dialog with no controls, made from a template in memory.
static UINT LastDialogCommand;
static INT_PTR CALLBACK RecordingDialog(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_COMMAND) LastDialogCommand = LOWORD(wParam);
  return message == WM_INITDIALOG;
}

static HWND MakeDialog(HWND parent, DWORD style) {
  static DWORD buffer[16];  // templates are DWORD-aligned
  ZeroMemory(buffer, sizeof(buffer));
  DLGTEMPLATE* dt = (DLGTEMPLATE*)buffer;
  dt->style = style;
  dt->cx = 100;
  dt->cy = 60;  // menu, class and title words follow, all 0
  return CreateDialogIndirectParamW(GetModuleHandleW(NULL), dt, parent, RecordingDialog, 0);
}

static void InitDialogTests(HWND parent) {
  SHINITDLGINFO info;
  RECT work, got;
  WCHAR text[16];
  HWND dialog = MakeDialog(NULL, WS_POPUP | WS_VISIBLE);
  ok(dialog != NULL, "dialog: test dialog created");

  ZeroMemory(&info, sizeof(info));
  info.dwMask = SHIDIM_FLAGS;
  info.hDlg = dialog;
  info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN;
  ok(SHInitDialog(&info), "dialog: SHInitDialog succeeds");
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(dialog, &got);
  ok(got.left == work.left && got.top == work.top + 26 && got.right == work.right && got.bottom == work.bottom,
     "dialog: full screen below the navigation bar (%ld,%ld,%ld,%ld; work area %ld,%ld,%ld,%ld)", got.left, got.top,
     got.right, got.bottom, work.left, work.top, work.right, work.bottom);

  HWND done = GetDlgItem(dialog, IDOK);
  text[0] = 0;
  if (done) GetWindowTextW(done, text, 16);
  ok(done && IsWindowVisible(done) && lstrcmpW(text, L"OK") == 0, "dialog: a visible OK button with id IDOK");
  LastDialogCommand = 0;
  if (done) SendMessageW(done, BM_CLICK, 0, 0);
  Pump();
  ok(LastDialogCommand == IDOK, "dialog: the OK button sends WM_COMMAND IDOK (got %u)", LastDialogCommand);
  ok(SHInitDialog(&info) && GetWindow(GetDlgItem(dialog, IDOK), GW_HWNDNEXT) == NULL,
     "dialog: a second call adds no second OK button");
  DestroyWindow(dialog);

  dialog = MakeDialog(parent, WS_CHILD | WS_VISIBLE);
  info.hDlg = dialog;
  info.dwFlags = SHIDIF_SIZEDLGFULLSCREEN;
  SHInitDialog(&info);
  RECT client;
  GetClientRect(parent, &client);
  GetClientRect(dialog, &got);
  ok(got.right == client.right && got.bottom == client.bottom, "dialog: a child dialog fills its parent (%ldx%ld)",
     got.right, got.bottom);
  ok(GetDlgItem(dialog, IDOK) == NULL, "dialog: no OK button without SHIDIF_DONEBUTTON");

  info.dwMask = 0;
  info.dwFlags = SHIDIF_DONEBUTTON;
  ok(SHInitDialog(&info) && GetDlgItem(dialog, IDOK) == NULL, "dialog: flags are ignored without SHIDIM_FLAGS");
  DestroyWindow(dialog);
  ok(!SHInitDialog(&info) && !SHInitDialog(NULL), "dialog: no dialog, no success");
}

void AygshellTests() {
  HWND window = MakeWindow(L"gesture", WS_OVERLAPPEDWINDOW | WS_VISIBLE, NULL, 240, 320);
  GestureTests(window);
  InitDialogTests(window);
  DestroyWindow(window);
}
