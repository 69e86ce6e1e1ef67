// The harness: checks and their tally, message pumping, the watchdog for
// modal loops.
#include "harness.h"

#include <stdarg.h>
#include <stdio.h>

static int Passed;
static int Failed;

bool CheckAt(const char* file, int line, bool passed, const char* format, ...) {
  va_list args;
  va_start(args, format);
  printf(passed ? "ok: " : "FAILED: ");
  vprintf(format, args);
  if (!passed) printf(" (%s:%d)", file, line);
  printf("\n");
  fflush(stdout);
  va_end(args);
  (passed ? Passed : Failed)++;
  return passed;
}
int FailedChecks() { return Failed; }
int PassedChecks() { return Passed; }

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

static DialogDriver PendingDriver;

// A message box shows its text in static control 0xFFFF; a dialog template
// may give that id to any control it does not address (an icon, say).
static bool IsMessageBox(HWND hwnd) {
  HWND text = GetDlgItem(hwnd, 0xFFFF);
  WCHAR className[16];
  return text && GetClassNameW(text, className, 16) && lstrcmpiW(className, L"Static") == 0 &&
         (GetWindowLongW(text, GWL_STYLE) & SS_TYPEMASK) != SS_ICON;
}

static BOOL CALLBACK CloseModalWindow(HWND hwnd, LPARAM) {
  DWORD process = 0;
  WCHAR className[32];
  GetWindowThreadProcessId(hwnd, &process);
  if (process != GetCurrentProcessId() || !IsWindowVisible(hwnd)) return TRUE;
  if (!GetClassNameW(hwnd, className, 32)) return TRUE;
  if (lstrcmpW(className, L"#32770") == 0 && IsMessageBox(hwnd)) {
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
  } else if (lstrcmpW(className, L"#32770") == 0 && PendingDriver) {
    DialogDriver driver = PendingDriver;
    PendingDriver = NULL;  // the driver may pump, and this timer fire again
    driver(hwnd);
    return FALSE;
  } else if (lstrcmpW(className, L"#32768") == 0) {
    EndMenu();
    return FALSE;
  }
  return TRUE;
}

static void CALLBACK Watchdog(HWND, UINT, UINT_PTR, DWORD) { EnumWindows(CloseModalWindow, 0); }

void StartWatchdog() { SetTimer(NULL, 0, 100, Watchdog); }
void DriveNextDialog(DialogDriver driver) { PendingDriver = driver; }

bool WriteValue(HKEY root, LPCWSTR key, LPCWSTR name, DWORD type, const void* data, DWORD size) {
  HKEY opened;
  if (RegCreateKeyExW(root, key, 0, NULL, 0, KEY_SET_VALUE, NULL, &opened, NULL) != ERROR_SUCCESS) return false;
  LONG result = RegSetValueExW(opened, name, 0, type, (const BYTE*)data, size);
  RegCloseKey(opened);
  return result == ERROR_SUCCESS;
}

bool WriteDword(HKEY root, LPCWSTR key, LPCWSTR name, DWORD number) {
  return WriteValue(root, key, name, REG_DWORD, &number, sizeof(number));
}

void DeleteSettings() {
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, SETTINGS_KEY);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Halvorn");  // fails while other keys live there
}

HWND MakeTestWindow(LPCWSTR className, WNDPROC proc, LPCWSTR title, DWORD style, int x, int y, int width,
                    int height) {
  WNDCLASSW wc;
  ZeroMemory(&wc, sizeof(wc));
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(NULL);
  wc.lpszClassName = className;
  wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
  RegisterClassW(&wc);  // fails harmlessly once the class exists
  return CreateWindowExW(0, className, title, style, x, y, width, height, NULL, NULL, GetModuleHandleW(NULL), NULL);
}

HMODULE LoadBesideProgram(LPCWSTR name) {
  WCHAR path[MAX_PATH];
  DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
  while (length && path[length - 1] != L'\\') length--;
  lstrcpynW(path + length, name, MAX_PATH - length);
  return LoadLibraryW(path);
}
