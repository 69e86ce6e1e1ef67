// The product's call orders on real Win32: every watched call crestitem.dll
// and setup.dll make goes through a recorder put in their import tables, and
// each case of the shared tables (tests/orders) is driven as the stand-in's
// test drives it and compared row by row.
#include <aygshell.h>
#include <ce_setup.h>
#include <commdlg.h>
#include <shellapi.h>
#include <stdio.h>
#include <todaycmn.h>

#include <string>
#include <vector>

#include "../orders/product_orders.h"
#include "harness.h"

#define INSTALL_DIR L"\\Program Files\\Crestune"

// ---- The recorder ---------------------------------------------------------------

static std::vector<orders::Call> Recorded;
static bool Recording;

static std::string Utf8(const WCHAR* text, int units = -1) {
  if (!text || IS_INTRESOURCE(text)) return "";
  if (units < 0) units = lstrlenW(text);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text, units, NULL, 0, NULL, NULL);
  std::string s(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, units, &s[0], bytes, NULL, NULL);
  return s;
}

static void Record(const char* name, const std::string& text = "", long long a = 0, long long b = 0,
                   long long c = 0) {
  if (Recording) Recorded.push_back(orders::Call{name, text, a, b, c});
}

// The handle of the call just recorded (orders::handleColumn).
static void Handle(unsigned long long handle) {
  if (Recording && !Recorded.empty()) Recorded.back().handle = handle;
}

// One replacement per watched import: it records the call's columns (as
// product_orders.cpp lists them) and calls the real function.
#define REAL(name) static decltype(&name) Real##name
REAL(RegOpenKeyExW); REAL(RegCreateKeyExW); REAL(RegQueryValueExW); REAL(RegSetValueExW); REAL(RegDeleteKeyW);
REAL(RegCloseKey); REAL(FindWindowW); REAL(PostMessageW); REAL(SendMessageW); REAL(SetCapture);
REAL(ReleaseCapture); REAL(SHRecognizeGesture); REAL(CreatePopupMenu); REAL(AppendMenuW); REAL(TrackPopupMenuEx);
REAL(DestroyMenu); REAL(ShellExecuteExW); REAL(LoadImageW); REAL(DrawIconEx); REAL(DestroyIcon); REAL(DrawTextW);
REAL(Polyline); REAL(CreateFontIndirectW); REAL(DeleteObject); REAL(SHInitDialog); REAL(SetDlgItemTextW);
REAL(GetDlgItemTextW); REAL(SetWindowTextW); REAL(EndDialog); REAL(MessageBoxW); REAL(DialogBoxIndirectParamW);
REAL(GetOpenFileNameW); REAL(SetForegroundWindow); REAL(ShowWindow); REAL(BeginPaint); REAL(EndPaint);

static LONG WINAPI HookRegOpenKeyExW(HKEY k, LPCWSTR sub, DWORD o, REGSAM s, PHKEY r) {
  Record("RegOpenKeyExW", Utf8(sub));
  return RealRegOpenKeyExW(k, sub, o, s, r);
}
static LONG WINAPI HookRegCreateKeyExW(HKEY k, LPCWSTR sub, DWORD res, LPWSTR cls, DWORD o, REGSAM s,
                                       LPSECURITY_ATTRIBUTES sa, PHKEY r, LPDWORD d) {
  Record("RegCreateKeyExW", Utf8(sub));
  return RealRegCreateKeyExW(k, sub, res, cls, o, s, sa, r, d);
}
static LONG WINAPI HookRegQueryValueExW(HKEY k, LPCWSTR name, LPDWORD res, LPDWORD type, LPBYTE data,
                                        LPDWORD size) {
  Record("RegQueryValueExW", Utf8(name));
  return RealRegQueryValueExW(k, name, res, type, data, size);
}
static LONG WINAPI HookRegSetValueExW(HKEY k, LPCWSTR name, DWORD res, DWORD type, const BYTE* data, DWORD size) {
  Record("RegSetValueExW", Utf8(name), type, size);
  return RealRegSetValueExW(k, name, res, type, data, size);
}
static LONG WINAPI HookRegDeleteKeyW(HKEY k, LPCWSTR sub) {
  Record("RegDeleteKeyW", Utf8(sub));
  return RealRegDeleteKeyW(k, sub);
}
static LONG WINAPI HookRegCloseKey(HKEY k) {
  Record("RegCloseKey");
  return RealRegCloseKey(k);
}
static HWND WINAPI HookFindWindowW(LPCWSTR cls, LPCWSTR title) {
  Record("FindWindowW", Utf8(title));
  return RealFindWindowW(cls, title);
}
static BOOL WINAPI HookPostMessageW(HWND h, UINT m, WPARAM w, LPARAM l) {
  Record("PostMessageW", "", m, (long long)w, (long long)l);
  return RealPostMessageW(h, m, w, l);
}
static LRESULT WINAPI HookSendMessageW(HWND h, UINT m, WPARAM w, LPARAM l) {
  Record("SendMessageW", "", m, (long long)w, (long long)l);
  Handle(w);  // before the call, which may record others
  return RealSendMessageW(h, m, w, l);
}
static HWND WINAPI HookSetCapture(HWND h) {
  Record("SetCapture");
  return RealSetCapture(h);
}
static BOOL WINAPI HookReleaseCapture() {
  Record("ReleaseCapture");
  return RealReleaseCapture();
}
static DWORD WINAPI HookSHRecognizeGesture(SHRGINFO* info) {
  Record("SHRecognizeGesture");
  return RealSHRecognizeGesture(info);
}
static HMENU WINAPI HookCreatePopupMenu() {
  Record("CreatePopupMenu");
  return RealCreatePopupMenu();
}
static BOOL WINAPI HookAppendMenuW(HMENU m, UINT flags, UINT_PTR id, LPCWSTR text) {
  Record("AppendMenuW", (flags & MF_SEPARATOR) ? "" : Utf8(text), flags, (long long)id);
  return RealAppendMenuW(m, flags, id, text);
}
static BOOL WINAPI HookTrackPopupMenuEx(HMENU m, UINT flags, int x, int y, HWND h, LPTPMPARAMS p) {
  Record("TrackPopupMenuEx", "", flags);
  return RealTrackPopupMenuEx(m, flags, x, y, h, p);
}
static BOOL WINAPI HookDestroyMenu(HMENU m) {
  Record("DestroyMenu");
  return RealDestroyMenu(m);
}
static BOOL WINAPI HookShellExecuteExW(SHELLEXECUTEINFOW* info) {
  Record("ShellExecuteExW", info ? Utf8(info->lpFile) : "", info ? info->fMask : 0);
  return RealShellExecuteExW(info);
}
static HANDLE WINAPI HookLoadImageW(HINSTANCE i, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
  Record("LoadImageW", "", IS_INTRESOURCE(name) ? (long long)(ULONG_PTR)name : 0, type, cx);
  size_t at = Recorded.size();
  HANDLE made = RealLoadImageW(i, name, type, cx, cy, flags);
  if (Recording && at) Recorded[at - 1].handle = (ULONG_PTR)made;
  return made;
}
static BOOL WINAPI HookDrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH b, UINT f) {
  Record("DrawIconEx", "", x, y, cx);
  Handle((ULONG_PTR)icon);
  return RealDrawIconEx(dc, x, y, icon, cx, cy, step, b, f);
}
static BOOL WINAPI HookDestroyIcon(HICON icon) {
  Record("DestroyIcon");
  Handle((ULONG_PTR)icon);
  return RealDestroyIcon(icon);
}
static int WINAPI HookDrawTextW(HDC dc, LPCWSTR text, int units, LPRECT r, UINT format) {
  Record("DrawTextW", Utf8(text, units), format);
  return RealDrawTextW(dc, text, units, r, format);
}
static BOOL WINAPI HookPolyline(HDC dc, const POINT* points, int count) {
  Record("Polyline", "", count);
  return RealPolyline(dc, points, count);
}
static HFONT WINAPI HookCreateFontIndirectW(const LOGFONTW* font) {
  Record("CreateFontIndirectW");
  size_t at = Recorded.size();
  HFONT made = RealCreateFontIndirectW(font);
  if (Recording && at) Recorded[at - 1].handle = (ULONG_PTR)made;
  return made;
}
static BOOL WINAPI HookDeleteObject(HGDIOBJ object) {
  Record("DeleteObject");
  Handle((ULONG_PTR)object);
  return RealDeleteObject(object);
}
static BOOL WINAPI HookSHInitDialog(PSHINITDLGINFO info) {
  Record("SHInitDialog", "", info ? info->dwMask : 0, info ? info->dwFlags : 0);
  return RealSHInitDialog(info);
}
static BOOL WINAPI HookSetDlgItemTextW(HWND d, int id, LPCWSTR text) {
  Record("SetDlgItemTextW", Utf8(text), id);
  return RealSetDlgItemTextW(d, id, text);
}
static UINT WINAPI HookGetDlgItemTextW(HWND d, int id, LPWSTR text, int max) {
  Record("GetDlgItemTextW", "", id);
  return RealGetDlgItemTextW(d, id, text, max);
}
static BOOL WINAPI HookSetWindowTextW(HWND h, LPCWSTR text) {
  Record("SetWindowTextW", Utf8(text));
  return RealSetWindowTextW(h, text);
}
static BOOL WINAPI HookEndDialog(HWND d, INT_PTR result) {
  Record("EndDialog", "", result);
  return RealEndDialog(d, result);
}
static int WINAPI HookMessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  Record("MessageBoxW", Utf8(text), type);
  return RealMessageBoxW(owner, text, caption, type);
}
static INT_PTR WINAPI HookDialogBoxIndirectParamW(HINSTANCE i, LPCDLGTEMPLATEW t, HWND p, DLGPROC proc, LPARAM l) {
  Record("DialogBoxIndirectParamW");
  return RealDialogBoxIndirectParamW(i, t, p, proc, l);
}
static BOOL WINAPI HookGetOpenFileNameW(LPOPENFILENAMEW ofn) {
  Record("GetOpenFileNameW");
  return RealGetOpenFileNameW(ofn);
}
static BOOL WINAPI HookSetForegroundWindow(HWND h) {
  Record("SetForegroundWindow");
  return RealSetForegroundWindow(h);
}
static BOOL WINAPI HookShowWindow(HWND h, int how) {
  Record("ShowWindow", "", how);
  return RealShowWindow(h, how);
}
static HDC WINAPI HookBeginPaint(HWND h, LPPAINTSTRUCT ps) {
  Record("BeginPaint");
  return RealBeginPaint(h, ps);
}
static BOOL WINAPI HookEndPaint(HWND h, const PAINTSTRUCT* ps) {
  Record("EndPaint");
  return RealEndPaint(h, ps);
}

struct Hook {
  const char* dll;
  const char* name;
  void* replacement;
  void** real;
};
#define HOOK(dll, name) {dll, #name, (void*)Hook##name, (void**)&Real##name}
static const Hook Hooks[] = {
    HOOK("advapi32.dll", RegOpenKeyExW), HOOK("advapi32.dll", RegCreateKeyExW),
    HOOK("advapi32.dll", RegQueryValueExW), HOOK("advapi32.dll", RegSetValueExW),
    HOOK("advapi32.dll", RegDeleteKeyW), HOOK("advapi32.dll", RegCloseKey), HOOK("user32.dll", FindWindowW),
    HOOK("user32.dll", PostMessageW), HOOK("user32.dll", SendMessageW), HOOK("user32.dll", SetCapture),
    HOOK("user32.dll", ReleaseCapture), HOOK("aygshell.dll", SHRecognizeGesture),
    HOOK("user32.dll", CreatePopupMenu), HOOK("user32.dll", AppendMenuW), HOOK("user32.dll", TrackPopupMenuEx),
    HOOK("user32.dll", DestroyMenu), HOOK("shell32.dll", ShellExecuteExW), HOOK("user32.dll", LoadImageW),
    HOOK("user32.dll", DrawIconEx), HOOK("user32.dll", DestroyIcon), HOOK("user32.dll", DrawTextW),
    HOOK("gdi32.dll", Polyline), HOOK("gdi32.dll", CreateFontIndirectW), HOOK("gdi32.dll", DeleteObject),
    HOOK("aygshell.dll", SHInitDialog), HOOK("user32.dll", SetDlgItemTextW), HOOK("user32.dll", GetDlgItemTextW),
    HOOK("user32.dll", SetWindowTextW), HOOK("user32.dll", EndDialog), HOOK("user32.dll", MessageBoxW),
    HOOK("user32.dll", DialogBoxIndirectParamW), HOOK("comdlg32.dll", GetOpenFileNameW),
    HOOK("user32.dll", SetForegroundWindow), HOOK("user32.dll", ShowWindow), HOOK("user32.dll", BeginPaint),
    HOOK("user32.dll", EndPaint),
};

// Every watched call either library imports goes through its hook; answers
// how many imports were patched.
static int HookImports(HMODULE module) {
  int patched = 0;
  for (const Hook& h : Hooks) {
    if (!*h.real) *h.real = (void*)GetProcAddress(GetModuleHandleA(h.dll), h.name);
    if (*h.real && PatchImport(module, h.dll, h.name, h.replacement)) patched++;
  }
  return patched;
}

// ---- The item and setup, driven as the stand-in's test drives them -------------

static HMODULE Item, Setup;
static PFNCUSTOMINITIALIZEITEM CreateItem;
static DLGPROC OptionsProc;
static HWND Today, Player, ItemWindow;
static TODAYLISTITEM ItemRecord;

static LRESULT Refresh() {
  return SendMessageW(ItemWindow, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, (LPARAM)&ItemRecord);
}
static void StartPlayer() {
  if (!IsWindow(Player))
    Player = MakeTestWindow(L"OrdersPlayer", DefWindowProcW, L"Windows Media", WS_OVERLAPPED, 300, 0, 200, 100);
}
static void StopPlayer() {
  if (IsWindow(Player)) DestroyWindow(Player);
  Player = NULL;
}
static void MakeItem() {
  if (IsWindow(ItemWindow)) DestroyWindow(ItemWindow);
  ZeroMemory(&ItemRecord, sizeof(ItemRecord));
  ItemRecord.fEnabled = TRUE;
  ItemWindow = CreateItem(&ItemRecord, Today);
  ItemRecord.hwndCustom = ItemWindow;
}
static void Press(int x, int y) {
  SendMessageW(ItemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  SendMessageW(ItemWindow, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  Pump();
}
static void ConfirmDialog(HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); }

// The state a case starts from, set up before recording.
static void Prepare(const orders::Case& c) {
  switch (c.action) {
    case orders::Action::StartItem:
      DeleteSettings();
      StopPlayer();
      break;
    case orders::Action::RefreshAway:
      StopPlayer();
      MakeItem();
      break;
    case orders::Action::RefreshPlayer:
    case orders::Action::PaintTitle:
      Refresh();
      break;
    case orders::Action::PaintButtons:
    case orders::Action::TapButton:
    case orders::Action::HoldMenu:
    case orders::Action::Command:
      StartPlayer();
      Refresh();
      break;
    case orders::Action::ItemLifetime:
      if (IsWindow(ItemWindow)) DestroyWindow(ItemWindow);
      WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", 1);
      StartPlayer();
      break;
    case orders::Action::TapTitle:
      StopPlayer();
      WriteText(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"WMPApplication", L"\\nowhere\\player.exe");
      MakeItem();
      Refresh();
      break;
    default:
      break;
  }
}

static void Act(const orders::Case& c) {
  // The buttons' centres in the large layout: Play 32 wide from x 29, then
  // the others 24 wide.
  static const POINT buttons[] = {{45, 18}, {73, 18}, {97, 18}, {121, 18}, {145, 18}};
  switch (c.action) {
    case orders::Action::StartItem:
      MakeItem();
      break;
    case orders::Action::RefreshAway:
      Refresh();
      break;
    case orders::Action::RefreshPlayer:
      StartPlayer();
      Refresh();
      break;
    case orders::Action::PaintTitle:
    case orders::Action::PaintButtons:
      InvalidateRect(ItemWindow, NULL, TRUE);
      UpdateWindow(ItemWindow);
      break;
    case orders::Action::TapButton:
      Press(buttons[c.arg].x, buttons[c.arg].y);
      break;
    case orders::Action::TapTitle:
      Press(100, 10);  // the watchdog answers the box
      break;
    case orders::Action::HoldMenu:
      ChooseFromNextMenu(c.arg);
      PutCursorOn(ItemWindow, 200, 18);
      SendMessageW(ItemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 18));
      Pump();
      break;
    case orders::Action::Command:
      SendMessageW(ItemWindow, WM_COMMAND, c.arg, 0);
      Pump();
      break;
    case orders::Action::ItemLifetime:
      MakeItem();
      Refresh();
      Pump();
      DestroyWindow(ItemWindow);
      break;
    case orders::Action::OptionsConfirm:
      DriveNextDialog(ConfirmDialog);
      DialogBoxParamW(Item, MAKEINTRESOURCEW(500), Today, OptionsProc, 0);
      DriveNextDialog(NULL);
      break;
    case orders::Action::Install:
    case orders::Action::Reinstall: {
      pfnINSTALL_INIT init = (pfnINSTALL_INIT)(void*)GetProcAddress(Setup, "Install_Init");
      pfnINSTALL_EXIT exit = (pfnINSTALL_EXIT)(void*)GetProcAddress(Setup, "Install_Exit");
      DriveNextDialog(ConfirmDialog);
      init(NULL, TRUE, c.action == orders::Action::Reinstall, INSTALL_DIR);
      DriveNextDialog(NULL);
      exit(NULL, INSTALL_DIR, 0, 0, 0, 0, 0);
      break;
    }
    case orders::Action::Remove:
      ((pfnUNINSTALL_INIT)(void*)GetProcAddress(Setup, "Uninstall_Init"))(NULL, INSTALL_DIR);
      ((pfnUNINSTALL_EXIT)(void*)GetProcAddress(Setup, "Uninstall_Exit"))(NULL);
      break;
  }
}

// The player association setup reads, as the device's registry holds it;
// answers whether it was made here (and is to be taken away afterwards).
static bool MakeWmvAssociation(StoredValue* oldWmv) {
  *oldWmv = ReadValue(HKEY_CLASSES_ROOT, L".wmv", NULL);
  bool made = !KeyExists(HKEY_CLASSES_ROOT, L"WMVFile");
  WriteText(HKEY_CLASSES_ROOT, L".wmv", NULL, L"WMVFile");
  if (made) WriteText(HKEY_CLASSES_ROOT, L"WMVFile\\Shell\\Open\\Command", NULL, L"\"\\Windows\\wmplayer.exe\" \"%1\"");
  return made;
}

static void UndoWmvAssociation(bool made, const StoredValue& oldWmv) {
  if (made) RegDeleteTreeW(HKEY_CLASSES_ROOT, L"WMVFile");
  if (oldWmv.found)
    WriteValue(HKEY_CLASSES_ROOT, L".wmv", NULL, oldWmv.type, oldWmv.data, oldWmv.size);
  else
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L".wmv");
}

void OrderTests() {
  Item = LoadBesideProgram(L"crestitem.dll");
  Setup = LoadBesideProgram(L"setup.dll");
  if (!ok(Item && Setup, "orders: both libraries load")) return;
  CreateItem = (PFNCUSTOMINITIALIZEITEM)(void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM));
  OptionsProc = (DLGPROC)(void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC));
  int patched = HookImports(Item) + HookImports(Setup);
  int unhooked = 0;
  for (size_t i = 0; i < orders::kWatchedCount; ++i) {
    bool found = false;
    for (const Hook& h : Hooks) found = found || lstrcmpA(h.name, orders::kWatched[i].call) == 0;
    if (!found) {
      printf("  no recorder for %s\n", orders::kWatched[i].call);
      unhooked++;
    }
  }
  if (!ok(CreateItem && OptionsProc && unhooked == 0 && patched > 30,
          "orders: every watched call has a recorder (%d imports patched)", patched))
    return;

  StoredValue oldWmv;
  bool madeWmv = MakeWmvAssociation(&oldWmv);
  Today = MakeTodayWindow();
  for (size_t i = 0; i < orders::kCaseCount; ++i) {
    const orders::Case& c = orders::kCases[i];
    Prepare(c);
    Pump();
    Recorded.clear();
    Recording = true;
    Act(c);
    Recording = false;
    std::string problem = orders::compare(Recorded, c.steps, c.rows);
    ok(problem.empty(), "orders: %s%s%s", c.name, problem.empty() ? "" : ": ", problem.c_str());
  }
  StopPlayer();
  DestroyWindow(ItemWindow);
  DestroyWindow(Today);
  ForgetShown();
  UndoWmvAssociation(madeWmv, oldWmv);
  DeleteSettings();
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today\\Items\\WMP Crestune");
  FreeLibrary(Setup);
  FreeLibrary(Item);
}
