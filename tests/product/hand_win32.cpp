// The hand on Win32: a thread timer that, while a modal loop of this thread
// runs, finds the modal window of this process on the screen and answers
// it (a message box with OK, a popup menu with the keyboard, a dialog by
// the test's driver).
#include <string.h>

#include "hand.h"

namespace product {

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
      ShownBox box;
      WCHAR text[512];
      GetWindowTextW(hwnd, text, 512);
      box.caption = text;
      GetDlgItemTextW(hwnd, 0xFFFF, text, 512);
      box.text = text;
      boxes.push_back(box);
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
