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

// The watched imports and the DLL each comes from.
#define WATCHED(X)                                                                                               \
  X(advapi32, RegOpenKeyExW) X(advapi32, RegCreateKeyExW) X(advapi32, RegQueryValueExW) X(advapi32, RegSetValueExW) \
  X(advapi32, RegDeleteKeyW) X(advapi32, RegCloseKey) X(user32, FindWindowW) X(user32, PostMessageW)               \
  X(user32, SendMessageW) X(user32, SetCapture) X(user32, ReleaseCapture) X(aygshell, SHRecognizeGesture)          \
  X(user32, CreatePopupMenu) X(user32, AppendMenuW) X(user32, TrackPopupMenuEx) X(user32, DestroyMenu)             \
  X(shell32, ShellExecuteExW) X(user32, LoadImageW) X(user32, DrawIconEx) X(user32, DestroyIcon)                   \
  X(user32, DrawTextW) X(gdi32, Polyline) X(gdi32, CreateFontIndirectW) X(gdi32, DeleteObject)                     \
  X(aygshell, SHInitDialog) X(user32, SetDlgItemTextW) X(user32, GetDlgItemTextW) X(user32, SetWindowTextW)        \
  X(user32, EndDialog) X(user32, MessageBoxW) X(user32, DialogBoxIndirectParamW) X(comdlg32, GetOpenFileNameW)     \
  X(user32, SetForegroundWindow) X(user32, ShowWindow) X(user32, BeginPaint) X(user32, EndPaint)
#define REAL(dll, name) static decltype(&name) Real##name;
WATCHED(REAL)

// One replacement per watched import: it records the call's columns (as
// product_orders.cpp lists them) and calls the real function; RECORDS makes
// those that record the columns alone.
#define RECORDS(type, name, params, args, ...) \
  static type WINAPI Hook##name params {       \
    Record(#name __VA_OPT__(, ) __VA_ARGS__); \
    return Real##name args;                    \
  }
RECORDS(LONG, RegOpenKeyExW, (HKEY k, LPCWSTR sub, DWORD o, REGSAM s, PHKEY r), (k, sub, o, s, r), Utf8(sub))
RECORDS(LONG, RegCreateKeyExW,
        (HKEY k, LPCWSTR sub, DWORD res, LPWSTR cls, DWORD o, REGSAM s, LPSECURITY_ATTRIBUTES sa, PHKEY r, LPDWORD d),
        (k, sub, res, cls, o, s, sa, r, d), Utf8(sub))
RECORDS(LONG, RegQueryValueExW, (HKEY k, LPCWSTR name, LPDWORD res, LPDWORD type, LPBYTE data, LPDWORD size),
        (k, name, res, type, data, size), Utf8(name))
RECORDS(LONG, RegSetValueExW, (HKEY k, LPCWSTR name, DWORD res, DWORD type, const BYTE* data, DWORD size),
        (k, name, res, type, data, size), Utf8(name), type, size)
RECORDS(LONG, RegDeleteKeyW, (HKEY k, LPCWSTR sub), (k, sub), Utf8(sub))
RECORDS(LONG, RegCloseKey, (HKEY k), (k))
RECORDS(HWND, FindWindowW, (LPCWSTR cls, LPCWSTR title), (cls, title), Utf8(title))
RECORDS(BOOL, PostMessageW, (HWND h, UINT m, WPARAM w, LPARAM l), (h, m, w, l), "", m, (long long)w, (long long)l)
static LRESULT WINAPI HookSendMessageW(HWND h, UINT m, WPARAM w, LPARAM l) {
  Record("SendMessageW", "", m, (long long)w, (long long)l);
  Handle(w);  // before the call, which may record others
  return RealSendMessageW(h, m, w, l);
}
RECORDS(HWND, SetCapture, (HWND h), (h))
RECORDS(BOOL, ReleaseCapture, (), ())
RECORDS(DWORD, SHRecognizeGesture, (SHRGINFO * info), (info))
RECORDS(HMENU, CreatePopupMenu, (), ())
RECORDS(BOOL, AppendMenuW, (HMENU m, UINT flags, UINT_PTR id, LPCWSTR text), (m, flags, id, text),
        (flags & MF_SEPARATOR) ? "" : Utf8(text), flags, (long long)id)
RECORDS(BOOL, TrackPopupMenuEx, (HMENU m, UINT flags, int x, int y, HWND h, LPTPMPARAMS p), (m, flags, x, y, h, p),
        "", flags)
RECORDS(BOOL, DestroyMenu, (HMENU m), (m))
RECORDS(BOOL, ShellExecuteExW, (SHELLEXECUTEINFOW * info), (info), info ? Utf8(info->lpFile) : "",
        info ? info->fMask : 0)
// The handle a call makes, kept with its row once the real call answers.
template <class H>
static H Made(size_t at, H made) {
  if (Recording && at) Recorded[at - 1].handle = (ULONG_PTR)made;
  return made;
}
static HANDLE WINAPI HookLoadImageW(HINSTANCE i, LPCWSTR name, UINT type, int cx, int cy, UINT flags) {
  Record("LoadImageW", "", IS_INTRESOURCE(name) ? (long long)(ULONG_PTR)name : 0, type, cx);
  size_t at = Recorded.size();
  return Made(at, RealLoadImageW(i, name, type, cx, cy, flags));
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
RECORDS(int, DrawTextW, (HDC dc, LPCWSTR text, int units, LPRECT r, UINT format), (dc, text, units, r, format),
        Utf8(text, units), format)
RECORDS(BOOL, Polyline, (HDC dc, const POINT* points, int count), (dc, points, count), "", count)
static HFONT WINAPI HookCreateFontIndirectW(const LOGFONTW* font) {
  Record("CreateFontIndirectW");
  size_t at = Recorded.size();
  return Made(at, RealCreateFontIndirectW(font));
}
static BOOL WINAPI HookDeleteObject(HGDIOBJ object) {
  Record("DeleteObject");
  Handle((ULONG_PTR)object);
  return RealDeleteObject(object);
}
RECORDS(BOOL, SHInitDialog, (PSHINITDLGINFO info), (info), "", info ? info->dwMask : 0, info ? info->dwFlags : 0)
RECORDS(BOOL, SetDlgItemTextW, (HWND d, int id, LPCWSTR text), (d, id, text), Utf8(text), id)
RECORDS(UINT, GetDlgItemTextW, (HWND d, int id, LPWSTR text, int max), (d, id, text, max), "", id)
RECORDS(BOOL, SetWindowTextW, (HWND h, LPCWSTR text), (h, text), Utf8(text))
RECORDS(BOOL, EndDialog, (HWND d, INT_PTR result), (d, result), "", result)
RECORDS(int, MessageBoxW, (HWND owner, LPCWSTR text, LPCWSTR caption, UINT type), (owner, text, caption, type),
        Utf8(text), type)
RECORDS(INT_PTR, DialogBoxIndirectParamW, (HINSTANCE i, LPCDLGTEMPLATEW t, HWND p, DLGPROC proc, LPARAM l),
        (i, t, p, proc, l))
RECORDS(BOOL, GetOpenFileNameW, (LPOPENFILENAMEW ofn), (ofn))
RECORDS(BOOL, SetForegroundWindow, (HWND h), (h))
RECORDS(BOOL, ShowWindow, (HWND h, int how), (h, how), "", how)
RECORDS(HDC, BeginPaint, (HWND h, LPPAINTSTRUCT ps), (h, ps))
RECORDS(BOOL, EndPaint, (HWND h, const PAINTSTRUCT* ps), (h, ps))

struct Hook {
  const char* dll;
  const char* name;
  void* replacement;
  void** real;
};
#define HOOK(dll, name) {#dll ".dll", #name, (void*)Hook##name, (void**)&Real##name},
static const Hook Hooks[] = {WATCHED(HOOK)};

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
  // The recorder takes over the import slots, and calls the real function:
  // a failing stand-in put there before would be bypassed.
  EXPECT_EQ(failuresPending(), 0) << "plan failures after the recording starts, or they are lost";
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
