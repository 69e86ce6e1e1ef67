#include "cpu/imports.h"

#include <windows.h>
#include <aygshell.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

#include "cpu/marshal.h"
#include "device.h"
#include "device/trace.h"

extern "C" {
// The dispatchers' section, laid out by the linker (weak: none when empty).
extern const char __start_wince_guest_calls[] __attribute__((weak));
extern const char __stop_wince_guest_calls[] __attribute__((weak));
}

namespace wince::cpu {

bool isGuestCallSite(const void* returnAddress) {
  const char* p = static_cast<const char*>(returnAddress);
  return __start_wince_guest_calls && p >= __start_wince_guest_calls && p < __stop_wince_guest_calls;
}

namespace {
// Tokens for host handles above 4 GB, in a range no guest address or
// stand-in handle uses.
constexpr uint32_t kTokenBase = 0x7E000000;
std::vector<const void*>& tokens() {
  static std::vector<const void*> t;
  return t;
}
}  // namespace

uint32_t handleToGuest(const void* handle) {
  const auto v = reinterpret_cast<intptr_t>(handle);
  if (v == widen(static_cast<uint32_t>(v))) return static_cast<uint32_t>(v);
  auto& t = tokens();
  auto it = std::find(t.begin(), t.end(), handle);
  if (it == t.end()) it = t.insert(t.end(), handle);
  return kTokenBase + static_cast<uint32_t>(it - t.begin());
}

void* handleToHost(uint32_t word) {
  auto& t = tokens();
  if (word >= kTokenBase && word - kTokenBase < t.size()) return const_cast<void*>(t[word - kTokenBase]);
  return reinterpret_cast<void*>(static_cast<intptr_t>(widen(word)));
}

namespace {

// The guest's heap is guest memory: blocks the guest can hold in 32 bits.
// Traced, failed and counted as the platform's LocalAlloc is.
HLOCAL WINAPI GuestLocalAlloc(UINT uFlags, size_t uBytes) {
  WINCE_TRACE("LocalAlloc");
  wince_trace_.args(uFlags, uBytes);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, static_cast<HLOCAL>(nullptr));
  Machine* m = Machine::existing();
  const uint32_t at = m && uBytes < 0x7FFFFFFF ? m->arena().allocate(static_cast<uint32_t>(uBytes),
                                                                     (uFlags & LMEM_ZEROINIT) != 0)
                                               : 0;
  if (!at) return wince_trace_.fail(ERROR_NOT_ENOUGH_MEMORY, static_cast<HLOCAL>(nullptr));
  Device::current().accounting().acquire(ObjectKind::Heap);
  return wince_trace_.result(static_cast<HLOCAL>(Arena::host(at)));
}

HLOCAL WINAPI GuestLocalFree(HLOCAL hMem) {
  WINCE_TRACE("LocalFree");
  wince_trace_.args(hMem);
  if (!hMem) return wince_trace_.result(static_cast<HLOCAL>(nullptr));
  Machine* m = Machine::existing();
  if (!m || !m->arena().release(Arena::guest(hMem))) return wince_trace_.fail(ERROR_INVALID_HANDLE, hMem);
  Device::current().accounting().release(ObjectKind::Heap);
  return wince_trace_.result(static_cast<HLOCAL>(nullptr));
}

void* GuestMemset(void* d, int c, size_t n) { return std::memset(d, c, n); }
void* GuestMemcpy(void* d, const void* s, size_t n) { return std::memcpy(d, s, n); }
void* GuestMemmove(void* d, const void* s, size_t n) { return std::memmove(d, s, n); }
int GuestWcslen(const char16_t* s) { return lstrlenW(s); }

// wsprintfW takes its arguments as words, as the device passes them: each
// one goes on as a 64-bit value, which the host's variadic call reads as
// an int or a pointer alike.
WINCE_GUEST_CALL uint32_t guestWsprintf(Machine&, const GuestArgs& in) {
  auto w = [&](int i) { return widen(in.word(i)); };
  const int n = wsprintfW(static_cast<LPWSTR>(Arena::host(in.word(0))), static_cast<LPCWSTR>(Arena::host(in.word(1))),
                          w(2), w(3), w(4), w(5), w(6), w(7), w(8), w(9), w(10), w(11), w(12), w(13));
  asm volatile("" ::: "memory");
  return static_cast<uint32_t>(n);
}

// IMPORT: a function that may run guest code before it returns (a window
// procedure, a dialog procedure); LEAF: one that never does, answered
// while the processor runs on (Machine::thunkFor).
#define IMPORT(f) PlatformImport{#f, WINCE_GUEST_IMPORT(dispatch, f), false}
#define LEAF(f) PlatformImport{#f, WINCE_GUEST_IMPORT(dispatch, f), true}
#define MESSAGE(f) PlatformImport{#f, WINCE_GUEST_IMPORT(dispatchMessage, f), false}
#define GUEST_LEAF(name, f) PlatformImport{name, WINCE_GUEST_IMPORT(dispatch, f), true}

const PlatformImport kImports[] = {
    // Kernel.
    GUEST_LEAF("LocalAlloc", GuestLocalAlloc), GUEST_LEAF("LocalFree", GuestLocalFree),
    LEAF(CloseHandle), LEAF(FindResourceW), LEAF(LoadResource), IMPORT(Sleep), LEAF(GetLastError),
    LEAF(SetLastError), LEAF(GetTickCount), IMPORT(LoadLibraryW), IMPORT(FreeLibrary),
    // Strings and memory.
    GUEST_LEAF("lstrlenW", GuestWcslen), LEAF(lstrcpynW), LEAF(lstrcmpiW), LEAF(lstrcmpW),
    {"wsprintfW", &guestWsprintf, true}, GUEST_LEAF("memset", GuestMemset),
    GUEST_LEAF("memcpy", GuestMemcpy), GUEST_LEAF("memmove", GuestMemmove),
    // Registry.
    LEAF(RegCloseKey), LEAF(RegCreateKeyExW), LEAF(RegDeleteKeyW), LEAF(RegOpenKeyExW),
    LEAF(RegQueryValueExW), LEAF(RegSetValueExW),
    // Window manager.
    LEAF(RegisterClassW), IMPORT(UnregisterClassW), IMPORT(CreateWindowExW), MESSAGE(DefWindowProcW),
    IMPORT(ShowWindow), IMPORT(UpdateWindow), LEAF(InvalidateRect), LEAF(GetClientRect), LEAF(GetWindowRect),
    IMPORT(MoveWindow), LEAF(GetParent), LEAF(FindWindowW), IMPORT(SetWindowTextW), IMPORT(GetWindowTextW),
    IMPORT(SetFocus), IMPORT(SetForegroundWindow), MESSAGE(SendMessageW), MESSAGE(PostMessageW),
    IMPORT(SetCapture), IMPORT(ReleaseCapture), LEAF(SetRect), IMPORT(DestroyWindow),
    // Painting, icons, menus, dialogs, message boxes.
    IMPORT(BeginPaint), LEAF(EndPaint), LEAF(GetDC), LEAF(ReleaseDC), LEAF(DrawTextW), LEAF(LoadImageW),
    LEAF(DrawIconEx), LEAF(DestroyIcon), LEAF(CreatePopupMenu), LEAF(AppendMenuW), IMPORT(TrackPopupMenuEx),
    LEAF(DestroyMenu), IMPORT(DialogBoxIndirectParamW), IMPORT(EndDialog), LEAF(GetDlgItem),
    LEAF(GetDlgCtrlID), IMPORT(GetDlgItemTextW), IMPORT(SetDlgItemTextW), IMPORT(MessageBoxW),
    // Graphics.
    LEAF(GetStockObject), LEAF(SelectObject), LEAF(DeleteObject), LEAF(GetObjectW),
    LEAF(CreateFontIndirectW), LEAF(GetDeviceCaps), LEAF(GetTextMetricsW), LEAF(SetTextColor),
    LEAF(SetBkMode), LEAF(Polyline),
    // Shell, common dialogs, the Pocket PC shell.
    IMPORT(ShellExecuteEx), IMPORT(GetOpenFileNameW), IMPORT(SHInitDialog), IMPORT(SHRecognizeGesture),
};

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The device's import table, by (library, ordinal) and (library, name).
struct ImportTable {
  std::map<std::pair<std::string, unsigned>, std::string> byOrdinal;
  std::map<std::pair<std::string, std::string>, std::string> byName;
  ImportTable() {
    std::istringstream in(importTableText());
    for (std::string line; std::getline(in, line);) {
      if (line.empty() || line[0] == '#') continue;
      std::istringstream row(line);
      std::string function, library, how, exported;
      if (!(row >> function >> library >> how)) continue;
      row >> exported;
      const std::string lib = lower(library);
      if (how == "name") byName[{lib, lower(exported.empty() ? function : exported)}] = function;
      else if (how != "runtime") byOrdinal[{lib, static_cast<unsigned>(std::stoul(how))}] = function;
    }
  }
};

}  // namespace

const PlatformImport* findImport(const std::string& library, unsigned ordinal, const std::string& byName,
                                 std::string& name) {
  static const ImportTable table;
  const std::string lib = lower(library);
  name.clear();
  if (ordinal) {
    auto it = table.byOrdinal.find({lib, ordinal});
    if (it != table.byOrdinal.end()) name = it->second;
  } else {
    auto it = table.byName.find({lib, lower(byName)});
    name = it != table.byName.end() ? it->second : byName;
  }
  if (name.empty()) return nullptr;
  for (const PlatformImport& p : kImports)
    if (name == p.name) return &p;
  return nullptr;
}

}  // namespace wince::cpu
