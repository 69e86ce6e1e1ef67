// The recorder of the product's call orders on Win32: every watched call
// (tests/orders) crestitem.dll and setup.dll make goes through a recorder put
// in their import tables, which keeps the call's columns and calls the real
// function.
#include <aygshell.h>
#include <commdlg.h>
#include <shellapi.h>

#include "hand.h"

namespace product {

// hand_win32.cpp: points a module's import of `name` at `replacement`.
bool patchImport(HMODULE module, const char* name, void* replacement);

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
    if (*h.real && patchImport(module, h.name, h.replacement)) patched++;
  }
  return patched;
}

void Hand::startRecording() {
  int patched = 0;
  for (LPCWSTR library : {L"crestitem.dll", L"setup.dll"})
    if (HMODULE m = GetModuleHandleW(library)) patched += HookImports(m);
  int unhooked = 0;
  for (size_t i = 0; i < orders::kWatchedCount; ++i) {
    bool found = false;
    for (const Hook& h : Hooks) found = found || lstrcmpA(h.name, orders::kWatched[i].call) == 0;
    if (!found) ADD_FAILURE() << "no recorder for " << orders::kWatched[i].call;
    unhooked += !found;
  }
  EXPECT_GT(patched, 30) << "imports patched";
  Recorded.clear();
  Recording = true;
}

std::vector<orders::Call> Hand::stopRecording() {
  Recording = false;
  return Recorded;
}

}  // namespace product
