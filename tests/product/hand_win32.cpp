// The hand on Win32: a thread timer that, while a modal loop of this thread
// runs, finds the modal window of this process on the screen and answers
// it (a message box with OK, a popup menu with the keyboard, a dialog by
// the test's driver).
#include "hand.h"
#include "import_table.h"
#include "product.h"

#include <commdlg.h>
#include <shellapi.h>
#include <string.h>

#include <map>
#include <string>

namespace product {

// The failures planned (Hand::failNext), and the real function behind each
// import the hand has replaced.
struct Planned {
  int times, after;
};
static std::map<std::string, Planned> planned;
static std::map<std::string, void*> realOf;

// The mail program is this program, started with --mailto <address>: it
// counts its starts and keeps the last address under kMailMarker.
const WCHAR kMailCommand[] = L"mailto\\shell\\open\\command";
const WCHAR kMailMarker[] = L"Software\\Crestune Product Tests";

static DWORD mailLaunches() {
  DWORD n = 0, size = sizeof n;
  RegGetValueW(HKEY_CURRENT_USER, kMailMarker, L"Launches", RRF_RT_REG_DWORD, nullptr, &n, &size);
  return n;
}

struct Hand::Impl {
  std::vector<ShownBox> boxes;
  int menus = 0;
  WString menuEntry;
  bool chooseEntry = false;
  std::function<void(HWND)> driver;
  UINT_PTR timer = 0;
  bool mailInstalled = false;
  WString oldMail;
  bool hadMail = false;
  static Impl* current;

  // A message box shows its text in static control 0xFFFF; a dialog
  // template may give that id to any control it does not address.
  static bool isMessageBox(HWND hwnd) {
    HWND text = GetDlgItem(hwnd, 0xFFFF);
    WCHAR cls[16];
    return text && GetClassNameW(text, cls, 16) && lstrcmpiW(cls, L"Static") == 0 &&
           (GetWindowLongW(text, GWL_STYLE) & SS_TYPEMASK) != SS_ICON;
  }
  // Down presses that reach the entry: the first selects the first entry,
  // and separators are passed over.
  int pressesFor(HWND menuWindow) {
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    int presses = 0;
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
      WCHAR text[128] = {};
      MENUITEMINFOW info = {};
      info.cbSize = sizeof info;
      info.fMask = MIIM_FTYPE;
      GetMenuItemInfoW(menu, i, TRUE, &info);
      if (info.fType & MFT_SEPARATOR) continue;
      ++presses;
      GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
      if (menuEntry == text) return presses;
    }
    return -1;
  }
  bool answer(HWND hwnd) {
    DWORD process = 0;
    WCHAR cls[32];
    GetWindowThreadProcessId(hwnd, &process);
    if (process != GetCurrentProcessId() || !IsWindowVisible(hwnd) || !GetClassNameW(hwnd, cls, 32)) return true;
    if (lstrcmpW(cls, L"#32770") == 0 && isMessageBox(hwnd)) {
      boxes.push_back(ShownBox{textOf(hwnd, 0), textOf(hwnd, 0xFFFF)});
      PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    } else if (lstrcmpW(cls, L"#32770") == 0 && driver) {
      auto drive = std::move(driver);
      driver = nullptr;  // the driver may pump, and this timer fire again
      drive(hwnd);
      return false;
    } else if (lstrcmpW(cls, L"#32768") == 0) {
      ++menus;
      int presses = chooseEntry ? pressesFor(hwnd) : -1;
      chooseEntry = false;
      if (presses < 0) {
        EndMenu();
      } else {
        HWND owner = GetCapture() ? GetCapture() : GetForegroundWindow();
        for (int i = 0; i < presses; i++) PostMessageW(owner, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(owner, WM_KEYDOWN, VK_RETURN, 0);
      }
      return false;
    }
    return true;
  }
  static BOOL CALLBACK visit(HWND hwnd, LPARAM) { return current && current->answer(hwnd); }
  static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) { EnumWindows(visit, 0); }
};
Hand::Impl* Hand::Impl::current;

Hand::Hand(ApiPlatform&) : impl_(new Impl) {
  Impl::current = impl_.get();
  impl_->timer = SetTimer(nullptr, 0, 100, Impl::tick);
}
Hand::~Hand() {
  planned.clear();
  if (impl_->mailInstalled) {
    if (impl_->hadMail)
      RegSetValueW(HKEY_CLASSES_ROOT, kMailCommand, REG_SZ, impl_->oldMail.c_str(), 0);
    else
      RegDeleteTreeW(HKEY_CLASSES_ROOT, L"mailto");
    RegDeleteTreeW(HKEY_CURRENT_USER, kMailMarker);
  }
  KillTimer(nullptr, impl_->timer);
  Impl::current = nullptr;
}

std::vector<ShownBox> Hand::boxes() { return impl_->boxes; }
int Hand::menus() { return impl_->menus; }
void Hand::forget() {
  impl_->boxes.clear();
  impl_->menus = 0;
  impl_->chooseEntry = false;
}
void Hand::chooseFromNextMenu(LPCWSTR entry) {
  impl_->chooseEntry = entry != nullptr;
  impl_->menuEntry = entry ? entry : L"";
}
void Hand::penComesUp(HWND w, POINT p) { PostMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y)); }
// The recogniser watches the cursor: where the pen is held, the moves the
// window manager makes up on its own fall.
void Hand::penStaysDown(HWND w, POINT p) {
  ClientToScreen(w, &p);
  SetCursorPos(p.x, p.y);
  ApiPlatform::pump();
}
void Hand::driveNextDialog(std::function<void(HWND)> driver) { impl_->driver = std::move(driver); }

// ---- Failures: stand-ins for the libraries' imports ------------------------------

// True when this call of `call` is to fail (and counts it).
static bool failing(const char* call) {
  auto p = planned.find(call);
  if (p == planned.end() || p->second.times == 0) return false;
  if (p->second.after > 0) {
    --p->second.after;
    return false;
  }
  --p->second.times;
  return true;
}
template <class F>
static F real(const char* call) {
  return reinterpret_cast<F>(realOf[call]);
}
// The stand-in for each call that can be made to fail.
static std::map<std::string, void*>& failingOf() {
  static std::map<std::string, void*> stands;
  return stands;
}

// Each fails as the platform documents: the failure value, the last error
// set where the call has one.
#define FAILS(type, name, params, args, failure)                                          \
  static type WINAPI fail##name params {                                                  \
    if (failing(#name)) return failure;                                                   \
    return real<decltype(&name)>(#name) args;                                             \
  }                                                                                       \
  [[maybe_unused]] static const bool known##name = (failingOf()[#name] = (void*)fail##name, true);
#define OR_ERROR(error, value) (SetLastError(error), value)
FAILS(ATOM, RegisterClassW, (const WNDCLASSW* c), (c), OR_ERROR(ERROR_NOT_ENOUGH_MEMORY, 0))
FAILS(BOOL, UnregisterClassW, (LPCWSTR c, HINSTANCE i), (c, i), OR_ERROR(ERROR_CLASS_HAS_WINDOWS, FALSE))
FAILS(HWND, CreateWindowExW,
      (DWORD ex, LPCWSTR c, LPCWSTR t, DWORD s, int x, int y, int w, int h, HWND p, HMENU m, HINSTANCE i, LPVOID l),
      (ex, c, t, s, x, y, w, h, p, m, i, l), OR_ERROR(ERROR_NOT_ENOUGH_MEMORY, nullptr))
FAILS(LONG, RegOpenKeyExW, (HKEY k, LPCWSTR sub, DWORD o, REGSAM s, PHKEY r), (k, sub, o, s, r), ERROR_FILE_NOT_FOUND)
FAILS(LONG, RegCreateKeyExW,
      (HKEY k, LPCWSTR sub, DWORD res, LPWSTR cls, DWORD o, REGSAM s, LPSECURITY_ATTRIBUTES sa, PHKEY r, LPDWORD d),
      (k, sub, res, cls, o, s, sa, r, d), ERROR_ACCESS_DENIED)
FAILS(LONG, RegSetValueExW, (HKEY k, LPCWSTR n, DWORD res, DWORD t, const BYTE* d, DWORD size),
      (k, n, res, t, d, size), ERROR_ACCESS_DENIED)
FAILS(LONG, RegDeleteKeyW, (HKEY k, LPCWSTR sub), (k, sub), ERROR_ACCESS_DENIED)
FAILS(HANDLE, LoadImageW, (HINSTANCE i, LPCWSTR n, UINT t, int cx, int cy, UINT f), (i, n, t, cx, cy, f),
      OR_ERROR(ERROR_RESOURCE_NAME_NOT_FOUND, nullptr))
FAILS(HFONT, CreateFontIndirectW, (const LOGFONTW* f), (f), OR_ERROR(ERROR_NOT_ENOUGH_MEMORY, nullptr))
FAILS(HMENU, CreatePopupMenu, (), (), OR_ERROR(ERROR_NOT_ENOUGH_MEMORY, nullptr))
FAILS(BOOL, ShellExecuteExW, (SHELLEXECUTEINFOW * info), (info), OR_ERROR(ERROR_FILE_NOT_FOUND, FALSE))
FAILS(BOOL, GetOpenFileNameW, (LPOPENFILENAMEW o), (o), FALSE)  // CommDlgExtendedError's business
FAILS(INT_PTR, DialogBoxIndirectParamW, (HINSTANCE i, LPCDLGTEMPLATEW t, HWND p, DLGPROC d, LPARAM l),
      (i, t, p, d, l), OR_ERROR(ERROR_NOT_ENOUGH_MEMORY, -1))
FAILS(HRSRC, FindResourceW, (HMODULE m, LPCWSTR n, LPCWSTR t), (m, n, t),
      OR_ERROR(ERROR_RESOURCE_NAME_NOT_FOUND, nullptr))
FAILS(HGLOBAL, LoadResource, (HMODULE m, HRSRC r), (m, r), OR_ERROR(ERROR_RESOURCE_NAME_NOT_FOUND, nullptr))

// Points a module's import of `name`, from whichever DLL, at `replacement`,
// keeping the address it held as the real function.
bool patchImport(HMODULE module, const char* name, void* replacement) {
  return ForEachImportSlot(module, nullptr, name, [&](IMAGE_THUNK_DATA* slot) {
           if ((void*)slot->u1.Function == replacement) return;
           realOf[name] = (void*)slot->u1.Function;
           ReplaceImportSlot(slot, replacement);
         }) > 0;
}

void Hand::failNext(const char* call, int times, int after) {
  planned[call] = Planned{times, after};
  auto stand = failingOf().find(call);
  bool patched = false;
  for (LPCWSTR library : {L"crestitem.dll", L"setup.dll"})
    if (HMODULE m = GetModuleHandleW(library); m && stand != failingOf().end())
      patched |= patchImport(m, call, stand->second);
  EXPECT_TRUE(patched) << call << " cannot be made to fail: no stand-in, or no library imports it";
}
int Hand::failuresPending() {
  int n = 0;
  for (const auto& p : planned) n += p.second.times;
  return n;
}

void Hand::standInForMail() {
  WCHAR exe[MAX_PATH], command[MAX_PATH + 32], old[MAX_PATH * 2];
  LONG size = sizeof old;
  if (!impl_->mailInstalled) {
    impl_->hadMail = RegQueryValueW(HKEY_CLASSES_ROOT, kMailCommand, old, &size) == ERROR_SUCCESS;
    if (impl_->hadMail) impl_->oldMail = old;
  }
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  wsprintfW(command, L"\"%s\" --mailto \"%%1\"", exe);
  RegSetValueW(HKEY_CLASSES_ROOT, kMailCommand, REG_SZ, command, 0);
  RegDeleteTreeW(HKEY_CURRENT_USER, kMailMarker);
  impl_->mailInstalled = true;
}
std::vector<WString> Hand::mailOpened(DWORD ms) {
  for (DWORD waited = 0; mailLaunches() == 0 && waited < ms; waited += 50) Sleep(50);
  WCHAR address[256] = {};
  DWORD size = sizeof address;
  RegGetValueW(HKEY_CURRENT_USER, kMailMarker, L"Address", RRF_RT_REG_SZ, nullptr, address, &size);
  return std::vector<WString>(mailLaunches(), address);
}

std::string Hand::objectsHeld() { return {}; }

// The probe pushes the arguments itself, so that the compiler's own stack
// bookkeeping cannot hide a callee that pops the wrong amount.
bool stackDriftOf(void* function, const DWORD_PTR* args, int count, bool callerPops, DWORD_PTR* result,
                  int* drift) {
  int moved;
  __asm__ volatile(
      "movl %%esp, %%esi\n\t"
      "movl %[n], %%ecx\n\t"
      "1: pushl -4(%[args],%%ecx,4)\n\t"
      "loop 1b\n\t"
      "call *%[f]\n\t"
      "movl %%esp, %%ecx\n\t"
      "subl %%esi, %%ecx\n\t"
      "movl %%esi, %%esp\n\t"
      : "=a"(*result), "=c"(moved)
      : [f] "b"(function), [args] "D"(args), [n] "m"(count)
      : "esi", "edx", "memory", "cc");
  *drift = moved + (callerPops ? 4 * count : 0);
  return true;
}

}  // namespace product

// The suite's main; started as the mail program, the program records its
// start instead.
int main(int argc, char** argv) {
  if (argc == 3 && strcmp(argv[1], "--mailto") == 0) {
    WCHAR address[256];
    MultiByteToWideChar(CP_UTF8, 0, argv[2], -1, address, 256);
    DWORD launches = product::mailLaunches() + 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, product::kMailMarker, L"Address", REG_SZ, address,
                    (lstrlenW(address) + 1) * sizeof(WCHAR));
    RegSetKeyValueW(HKEY_CURRENT_USER, product::kMailMarker, L"Launches", REG_DWORD, &launches, sizeof launches);
    return 0;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
