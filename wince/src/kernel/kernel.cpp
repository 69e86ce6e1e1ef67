// Kernel services: heap, last error, handles, the virtual clock and strings.
#include <windows.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>

#include "device.h"
#include "device/trace.h"
#include "shell_state.h"

using wince::Device;

// ---- Heap -----------------------------------------------------------------

namespace {
// Live heap blocks of the device, so that a block freed twice or never
// allocated is refused instead of corrupting memory.
std::set<void*>& liveBlocks() {
  static std::set<void*> blocks;
  return blocks;
}
}  // namespace

WINBASEAPI HLOCAL WINAPI LocalAlloc(UINT uFlags, size_t uBytes) {
  WINCE_TRACE("LocalAlloc");
  wince_trace_.args(uFlags, uBytes);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, static_cast<HLOCAL>(nullptr));
  void* p = (uFlags & LMEM_ZEROINIT) ? std::calloc(1, uBytes ? uBytes : 1) : std::malloc(uBytes ? uBytes : 1);
  if (!p) {
    Device::current().lastError() = ERROR_NOT_ENOUGH_MEMORY;
    return wince_trace_.result(static_cast<HLOCAL>(nullptr));
  }
  liveBlocks().insert(p);
  Device::current().accounting().acquire(wince::ObjectKind::Heap);
  return wince_trace_.result(static_cast<HLOCAL>(p));
}

WINBASEAPI HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  WINCE_TRACE("LocalFree");
  wince_trace_.args(hMem);
  if (!hMem) return wince_trace_.result(static_cast<HLOCAL>(nullptr));
  if (!liveBlocks().erase(hMem)) {
    Device::current().lastError() = ERROR_INVALID_HANDLE;
    return wince_trace_.result(hMem);
  }
  std::free(hMem);
  Device::current().accounting().release(wince::ObjectKind::Heap);
  return wince_trace_.result(static_cast<HLOCAL>(nullptr));
}

// ---- Errors and handles -----------------------------------------------------

WINBASEAPI DWORD WINAPI GetLastError(void) { return Device::current().lastError(); }
WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode) { Device::current().lastError() = dwErrCode; }

WINBASEAPI BOOL WINAPI CloseHandle(HANDLE hObject) {
  WINCE_TRACE("CloseHandle");
  wince_trace_.args(hObject);
  if (Device::current().shell().closeProcess(hObject)) return wince_trace_.result(TRUE);
  Device::current().lastError() = ERROR_INVALID_HANDLE;
  return wince_trace_.result(FALSE);
}

// ---- Time -------------------------------------------------------------------

WINBASEAPI void WINAPI Sleep(DWORD dwMilliseconds) {
  WINCE_TRACE("Sleep");
  wince_trace_.args(dwMilliseconds);
  // The thread blocks: time passes on the device and nothing else runs.
  Device::current().clock().advance(dwMilliseconds);
}

WINBASEAPI DWORD WINAPI GetTickCount(void) { return static_cast<DWORD>(Device::current().clock().now()); }

WINBASEAPI void WINAPI GetLocalTime(LPSYSTEMTIME st) {
  if (!st) return;
  Device& d = Device::current();
  std::time_t t = static_cast<std::time_t>(d.options().startTime + d.clock().now() / 1000);
  std::tm tm{};
  gmtime_r(&t, &tm);
  st->wYear = static_cast<WORD>(tm.tm_year + 1900);
  st->wMonth = static_cast<WORD>(tm.tm_mon + 1);
  st->wDayOfWeek = static_cast<WORD>(tm.tm_wday);
  st->wDay = static_cast<WORD>(tm.tm_mday);
  st->wHour = static_cast<WORD>(tm.tm_hour);
  st->wMinute = static_cast<WORD>(tm.tm_min);
  st->wSecond = static_cast<WORD>(tm.tm_sec);
  st->wMilliseconds = static_cast<WORD>(d.clock().now() % 1000);
}

// ---- Strings ------------------------------------------------------------------

WINBASEAPI int WINAPI lstrlenW(LPCWSTR s) {
  if (!s) return 0;
  int n = 0;
  while (s[n]) ++n;
  return n;
}

WINBASEAPI LPWSTR WINAPI lstrcpynW(LPWSTR dst, LPCWSTR src, int max) {
  if (!dst || max <= 0) return dst;
  int i = 0;
  if (src)
    for (; i < max - 1 && src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

WINBASEAPI LPWSTR WINAPI lstrcpyW(LPWSTR dst, LPCWSTR src) {
  if (!dst) return nullptr;
  int i = 0;
  if (src)
    for (; src[i]; ++i) dst[i] = src[i];
  dst[i] = 0;
  return dst;
}

namespace {
char16_t fold(char16_t c) {
  if (c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
  return c;
}
int compare(LPCWSTR a, LPCWSTR b, bool ignoreCase) {
  if (!a) a = u"";
  if (!b) b = u"";
  for (;; ++a, ++b) {
    char16_t x = ignoreCase ? fold(*a) : *a;
    char16_t y = ignoreCase ? fold(*b) : *b;
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}
}  // namespace

WINBASEAPI int WINAPI lstrcmpW(LPCWSTR a, LPCWSTR b) { return compare(a, b, false); }
WINBASEAPI int WINAPI lstrcmpiW(LPCWSTR a, LPCWSTR b) { return compare(a, b, true); }

// wsprintfW: %s (UTF-16 string), %c, %d, %i, %u, %x, %X, %%, with the
// flags '-' and '0' and a width. The output holds at most 1024 units
// including the terminator, as the platform's does; the result counts the
// units written, terminator excluded.
WINBASEAPI int wsprintfW(LPWSTR out, LPCWSTR fmt, ...) {
  constexpr int kMax = 1024;
  if (!out || !fmt) return 0;
  va_list ap;
  va_start(ap, fmt);
  int n = 0;
  auto put = [&](char16_t c) {
    if (n < kMax - 1) out[n++] = c;
  };
  for (const char16_t* p = fmt; *p; ++p) {
    if (*p != u'%') {
      put(*p);
      continue;
    }
    ++p;
    if (*p == u'%') {
      put(u'%');
      continue;
    }
    bool left = false, zero = false;
    for (;; ++p) {
      if (*p == u'-') left = true;
      else if (*p == u'0') zero = true;
      else break;
    }
    int width = 0;
    while (*p >= u'0' && *p <= u'9') width = width * 10 + (*p++ - u'0');
    // Size prefixes change nothing: numbers are int-sized, strings UTF-16.
    if (*p == u'l' || *p == u'h') ++p;
    std::u16string field;
    switch (*p) {
      case u's': {
        const char16_t* s = va_arg(ap, const char16_t*);
        field = s ? s : u"(null)";
        break;
      }
      case u'c':
        field = static_cast<char16_t>(va_arg(ap, int));
        break;
      case u'd':
      case u'i':
      case u'u':
      case u'x':
      case u'X': {
        char buf[32];
        int v = va_arg(ap, int);
        const char* f = *p == u'u' ? "%u" : *p == u'x' ? "%x" : *p == u'X' ? "%X" : "%d";
        std::snprintf(buf, sizeof buf, f, v);
        for (char* c = buf; *c; ++c) field += static_cast<char16_t>(*c);
        break;
      }
      case 0:
        --p;
        continue;
      default:
        field = *p;
        break;
    }
    int pad = width - static_cast<int>(field.size());
    if (!left)
      for (; pad > 0; --pad) put(zero && *p != u's' ? u'0' : u' ');
    for (char16_t c : field) put(c);
    for (; pad > 0; --pad) put(u' ');
  }
  va_end(ap);
  out[n] = 0;
  return n;
}
