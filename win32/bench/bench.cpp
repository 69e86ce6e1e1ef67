// `crestune_wine_bench.exe [--quick]`: the operations `crestune bench` times
// on the stand-in, on the real DLLs under Wine, printed one a line as
// "NAME MEDIAN_NS MIN_NS RUNS" for `crestune bench --compare`. It borrows the
// Win32 test host's helpers (tests/win32/harness.h) to load the DLLs, make
// the Today window and patch import tables.
//
// The device's waits are virtual time on the stand-in; here they are made
// virtual too, so that both sides time the same work: setup.dll's Sleep and
// the tap-and-hold recogniser's clock (aygshell.dll's GetTickCount and
// MsgWaitForMultipleObjectsEx) are replaced in those modules' import tables
// by a clock that moves only when they wait.
#include <ce_setup.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <todaycmn.h>

#include "harness.h"
#include "import_table.h"

#define PLAYER_TITLE L"Windows Media"
#define ITEM_KEY L"Software\\Microsoft\\Today\\Items\\WMP Crestune"

// ---- The bench's own helpers ---------------------------------------------------

// Moves the cursor onto a client point, so that the mouse moves the window
// manager makes up on its own fall where the pen is held.
static void PutCursorOn(HWND hwnd, int x, int y) {
  POINT point = {x, y};
  ClientToScreen(hwnd, &point);
  SetCursorPos(point.x, point.y);
  Pump();
}

static bool WriteText(HKEY root, LPCWSTR key, LPCWSTR name, LPCWSTR text) {
  return WriteValue(root, key, name, REG_SZ, text, (lstrlenW(text) + 1) * sizeof(WCHAR));
}

// Points a module's import of dll!name at `replacement`; false when the
// module imports no such function.
static bool PatchImport(HMODULE module, const char* dll, const char* name, void* replacement) {
  bool replaced = true;
  int found = ForEachImportSlot(module, dll, name, [&](IMAGE_THUNK_DATA* slot) {
    replaced = ReplaceImportSlot(slot, replacement) && replaced;
  });
  return found > 0 && replaced;
}

// ---- A clock that moves only when waited on -----------------------------------

static DWORD VirtualNow;
static DWORD WINAPI VirtualTickCount() { return VirtualNow; }
static void WINAPI VirtualSleep(DWORD ms) { VirtualNow += ms; }
static DWORD WINAPI VirtualMsgWait(DWORD count, const HANDLE* handles, DWORD ms, DWORD wake, DWORD flags) {
  DWORD r = MsgWaitForMultipleObjectsEx(count, handles, 0, wake, flags);
  if (r == WAIT_TIMEOUT && ms != INFINITE) VirtualNow += ms;
  return r;
}

// ---- A person's answers: dialogs confirmed, menus dismissed -------------------

// A dialog of this thread, once shown, is confirmed with IDOK.
static LRESULT CALLBACK ConfirmDialogs(int code, WPARAM wParam, LPARAM lParam) {
  WCHAR className[16];
  if (code == HCBT_ACTIVATE && GetClassNameW((HWND)wParam, className, 16) && lstrcmpW(className, L"#32770") == 0)
    PostMessageW((HWND)wParam, WM_COMMAND, IDOK, 0);
  return CallNextHookEx(NULL, code, wParam, lParam);
}

// A popup menu, once its loop waits for input, is dismissed.
static LRESULT CALLBACK DismissMenus(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* m = (const CWPSTRUCT*)lParam;
  if (code == HC_ACTION && m->message == WM_ENTERIDLE && m->wParam == MSGF_MENU) EndMenu();
  return CallNextHookEx(NULL, code, wParam, lParam);
}

// ---- The Today screen and the player, as on the stand-in -----------------------

static int Commands;
static LRESULT CALLBACK PlayerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_USER) Commands++;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The watermark the stand-in's Today shell paints: a sky gradient with a
// pale sweep, a brush a row.
static void PaintWatermark(HDC hdc, const RECT* rc, HWND target) {
  POINT origin = {0, 0};
  ClientToScreen(target, &origin);
  int bandCentre = 150 + (origin.x + rc->left) / 4;
  for (int y = rc->top; y < rc->bottom; y++) {
    int sy = origin.y + y, t = (sy - 26) * 255 / 294;
    t = t < 0 ? 0 : t > 255 ? 255 : t;
    COLORREF base = RGB(255 - t / 6, 255 - t / 10, 255);
    if (abs(sy - bandCentre) < 18) base = RGB(GetRValue(base) + 10 > 255 ? 255 : GetRValue(base) + 10, 250, 255);
    RECT row = {rc->left, y, rc->right, y + 1};
    HBRUSH brush = CreateSolidBrush(base);
    FillRect(hdc, &row, brush);
    DeleteObject(brush);
  }
}

static LRESULT CALLBACK TodayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == TODAYM_GETCOLOR) return wParam == TODAYCOLOR_TEXT ? RGB(0, 0, 96) : RGB(0, 0, 128);
  if (message == TODAYM_DRAWWATERMARK) {
    TODAYDRAWWATERMARKINFO* info = (TODAYDRAWWATERMARKINFO*)lParam;
    PaintWatermark(info->hdc, &info->rc, info->hwnd);
    return TRUE;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

static HMODULE Item;
static HMODULE Setup;
static DLGPROC OptionsProc;
static HWND Today;
static HWND Player;
static TODAYLISTITEM Record;
static HWND ItemWindow;

static LRESULT QueryRefresh() {
  return SendMessageW(ItemWindow, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, (LPARAM)&Record);
}

// The player comes or goes; the item's next refresh query sees it, and the
// Today screen gives the item its height.
static void SetPlayer(bool running) {
  if (running && !Player)
    Player = MakeTestWindow(L"CrestuneBenchPlayer", PlayerProc, PLAYER_TITLE, WS_OVERLAPPEDWINDOW, 300, 0, 200, 100);
  if (!running && Player) {
    DestroyWindow(Player);
    Player = NULL;
  }
  QueryRefresh();
  MoveWindow(ItemWindow, 0, 20, 240, (int)Record.cyp, TRUE);
  Pump();
}

// ---- The operations ------------------------------------------------------------

typedef void (*Operation)();

static void RefreshQuery() { QueryRefresh(); }

static void PaintItem() {
  InvalidateRect(ItemWindow, NULL, TRUE);
  UpdateWindow(ItemWindow);
}

static int ItemMiddle() { return (int)Record.cyp / 2; }

static void TapPlay() {
  PostMessageW(ItemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(41, ItemMiddle()));
  Pump();  // the pressed face
  PostMessageW(ItemWindow, WM_LBUTTONUP, 0, MAKELPARAM(41, ItemMiddle()));
  Pump();  // Play sent, the face again
}

static void HoldMenu() {
  PostMessageW(ItemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, ItemMiddle()));
  Pump();  // the pen rests, the menu shows and is dismissed
  PostMessageW(ItemWindow, WM_LBUTTONUP, 0, MAKELPARAM(200, ItemMiddle()));
  Pump();
}

static void Options() { DialogBoxParamW(Item, MAKEINTRESOURCEW(500), Today, OptionsProc, 0); }

// What the CAB installer does around the setup library: its hooks, and the
// package's registration of the Today item between them.
static void InstallUninstall() {
  static pfnINSTALL_INIT installInit = (pfnINSTALL_INIT)(void*)GetProcAddress(Setup, "Install_Init");
  static pfnINSTALL_EXIT installExit = (pfnINSTALL_EXIT)(void*)GetProcAddress(Setup, "Install_Exit");
  static pfnUNINSTALL_INIT uninstallInit = (pfnUNINSTALL_INIT)(void*)GetProcAddress(Setup, "Uninstall_Init");
  static pfnUNINSTALL_EXIT uninstallExit = (pfnUNINSTALL_EXIT)(void*)GetProcAddress(Setup, "Uninstall_Exit");
  installInit(NULL, TRUE, FALSE, L"\\Program Files\\Crestune");
  WriteText(HKEY_LOCAL_MACHINE, ITEM_KEY, L"DLL", L"\\Windows\\crestitem.dll");
  WriteDword(HKEY_LOCAL_MACHINE, ITEM_KEY, L"Enabled", 1);
  WriteDword(HKEY_LOCAL_MACHINE, ITEM_KEY, L"Options", 1);
  WriteDword(HKEY_LOCAL_MACHINE, ITEM_KEY, L"Order", 10);
  WriteDword(HKEY_LOCAL_MACHINE, ITEM_KEY, L"Type", 4);
  installExit(NULL, L"\\Program Files\\Crestune", 0, 0, 0, 0, 0);
  uninstallInit(NULL, L"\\Program Files\\Crestune");
  uninstallExit(NULL);
}

static double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  return (double)(to.QuadPart - from.QuadPart) / (double)frequency.QuadPart;
}

static int CompareDoubles(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return x < y ? -1 : x > y;
}

// Each run repeats the operation for at least `minSeconds`; the figures are
// the median and the minimum of the runs' times per operation.
static void Measure(const char* name, Operation operation, int runs, double minSeconds) {
  double perOperation[32];
  operation();  // the first one loads what later ones find ready
  for (int r = 0; r < runs && r < 32; r++) {
    long count = 0;
    LARGE_INTEGER start, now;
    QueryPerformanceCounter(&start);
    do {
      operation();
      count++;
      QueryPerformanceCounter(&now);
    } while (Seconds(start, now) < minSeconds);
    perOperation[r] = Seconds(start, now) / count * 1e9;
  }
  qsort(perOperation, runs, sizeof(double), CompareDoubles);
  printf("%s %.0f %.0f %d\n", name, perOperation[runs / 2], perOperation[0], runs);
  fflush(stdout);
}

int main(int argc, char** argv) {
  const bool quick = argc == 2 && strcmp(argv[1], "--quick") == 0;
  if (argc > 2 || (argc == 2 && !quick)) {
    fprintf(stderr, "usage: crestune_wine_bench.exe [--quick]\n");
    return 2;
  }
  const int runs = quick ? 3 : 9;
  const double minSeconds = quick ? 0.001 : 0.2;
  Item = LoadBesideProgram(L"crestitem.dll");
  Setup = LoadBesideProgram(L"setup.dll");
  HMODULE shell = GetModuleHandleW(L"aygshell.dll");
  if (!Item || !Setup || !shell) {
    printf("# cannot load crestitem.dll, setup.dll and aygshell.dll\n");
    return 1;
  }
  if (!PatchImport(Setup, "kernel32.dll", "Sleep", (void*)VirtualSleep) ||
      !PatchImport(shell, "kernel32.dll", "GetTickCount", (void*)VirtualTickCount) ||
      !PatchImport(shell, "user32.dll", "MsgWaitForMultipleObjectsEx", (void*)VirtualMsgWait)) {
    printf("# cannot make the waits of setup.dll and aygshell.dll virtual\n");
    return 1;
  }
  PFNCUSTOMINITIALIZEITEM create =
      (PFNCUSTOMINITIALIZEITEM)(void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM));
  OptionsProc = (DLGPROC)(void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC));
  DeleteSettings();
  Today = MakeTestWindow(L"CrestuneBenchToday", TodayProc, L"Today", WS_POPUP | WS_VISIBLE, 0, 26, 240, 294);
  ZeroMemory(&Record, sizeof(Record));
  Record.fEnabled = TRUE;
  ItemWindow = create(&Record, Today);
  Record.hwndCustom = ItemWindow;
  if (!ItemWindow || !OptionsProc) {
    printf("# the item made no window\n");
    return 1;
  }
  HHOOK dialogs = SetWindowsHookExW(WH_CBT, ConfirmDialogs, NULL, GetCurrentThreadId());
  HHOOK menus = SetWindowsHookExW(WH_CALLWNDPROC, DismissMenus, NULL, GetCurrentThreadId());
  PutCursorOn(ItemWindow, 200, 18);

  printf("# crestune_wine_bench: median and minimum of %d runs, ns per operation\n", runs);
  SetPlayer(true);
  Measure("refresh_query", RefreshQuery, runs, minSeconds);
  SetPlayer(false);
  Measure("paint_title", PaintItem, runs, minSeconds);
  SetPlayer(true);
  Measure("paint_buttons", PaintItem, runs, minSeconds);
  Measure("tap", TapPlay, runs, minSeconds);
  Measure("hold_menu", HoldMenu, runs, minSeconds);
  Measure("options", Options, runs, minSeconds);
  Measure("install_uninstall", InstallUninstall, runs, minSeconds);
  printf("# %d commands reached the player\n", Commands);

  UnhookWindowsHookEx(menus);
  UnhookWindowsHookEx(dialogs);
  SetPlayer(false);
  DestroyWindow(ItemWindow);
  DestroyWindow(Today);
  DeleteSettings();
  return 0;
}
