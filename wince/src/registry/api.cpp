// The registry functions of winreg.h. Each one records itself in the trace,
// then hands the work to the store; a change that cannot be written to the
// device folder answers ERROR_CANTWRITE and is taken back, so the registry
// stays the one the folder holds.
#include <windows.h>

#include <new>

#include "device.h"
#include "device_error.h"
#include "device/trace.h"
#include "registry/tree.h"

using wince::Device;
using wince::RegistryStore;

namespace {

template <class F>
LONG withStore(F&& f) {
  if (!Device::exists()) return ERROR_INVALID_HANDLE;
  try {
    return f(Device::current().registry().impl());
  } catch (const wince::DeviceError&) {
    return ERROR_CANTWRITE;
  } catch (const std::bad_alloc&) {
    return ERROR_OUTOFMEMORY;
  }
}

}  // namespace

LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  WINCE_TRACE("RegOpenKeyExW");
  wince_trace_.args(hKey, lpSubKey, ulOptions, samDesired);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.result(static_cast<LONG>(e));
  // Windows CE has no key security: the access asked for is not checked.
  LONG rc = withStore([&](RegistryStore::Impl& r) { return r.open(hKey, lpSubKey, phkResult); });
  return wince_trace_.result(rc);
}

LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                            REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                            LPDWORD lpdwDisposition) {
  WINCE_TRACE("RegCreateKeyExW");
  wince_trace_.args(hKey, lpSubKey, Reserved, static_cast<const char16_t*>(lpClass), dwOptions, samDesired,
                    static_cast<const void*>(lpSecurityAttributes));
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.result(static_cast<LONG>(e));
  // Keys keep no class, options or security on this device.
  LONG rc = withStore([&](RegistryStore::Impl& r) { return r.create(hKey, lpSubKey, phkResult, lpdwDisposition); });
  return wince_trace_.result(rc);
}

LONG WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData) {
  WINCE_TRACE("RegQueryValueExW");
  wince_trace_.args(hKey, lpValueName, static_cast<const void*>(lpReserved), static_cast<const void*>(lpType),
                    static_cast<const void*>(lpData), lpcbData ? *lpcbData : 0u);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.result(static_cast<LONG>(e));
  LONG rc = lpReserved ? ERROR_INVALID_PARAMETER : withStore([&](RegistryStore::Impl& r) {
    return r.queryValue(hKey, lpValueName, lpType, lpData, lpcbData);
  });
  return wince_trace_.result(rc);
}

LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                           DWORD cbData) {
  WINCE_TRACE("RegSetValueExW");
  wince_trace_.args(hKey, lpValueName, Reserved, dwType, static_cast<const void*>(lpData), cbData);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.result(static_cast<LONG>(e));
  LONG rc = withStore([&](RegistryStore::Impl& r) { return r.setValue(hKey, lpValueName, dwType, lpData, cbData); });
  return wince_trace_.result(rc);
}

LONG WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
  WINCE_TRACE("RegDeleteValueW");
  wince_trace_.args(hKey, lpValueName);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.result(static_cast<LONG>(e));
  LONG rc = withStore([&](RegistryStore::Impl& r) { return r.deleteValue(hKey, lpValueName); });
  return wince_trace_.result(rc);
}

LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  WINCE_TRACE("RegDeleteKeyW");
  wince_trace_.args(hKey, lpSubKey);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.result(static_cast<LONG>(e));
  // As on Windows CE, the key goes with all its subkeys and values.
  LONG rc = withStore([&](RegistryStore::Impl& r) { return r.deleteKey(hKey, lpSubKey); });
  return wince_trace_.result(rc);
}

LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                          LPWSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  WINCE_TRACE("RegEnumKeyExW");
  // The name and class buffers are outputs: traced as addresses, never read.
  wince_trace_.args(hKey, dwIndex, static_cast<const void*>(lpName), lpcchName ? *lpcchName : 0u,
                    static_cast<const void*>(lpReserved), static_cast<const void*>(lpClass),
                    static_cast<const void*>(lpftLastWriteTime));
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.result(static_cast<LONG>(e));
  LONG rc = lpReserved ? ERROR_INVALID_PARAMETER : withStore([&](RegistryStore::Impl& r) {
    return r.enumKey(hKey, dwIndex, lpName, lpcchName, lpClass, lpcchClass);
  });
  if (rc == ERROR_SUCCESS && lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return wince_trace_.result(rc);
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  WINCE_TRACE("RegCloseKey");
  wince_trace_.args(hKey);
  LONG rc = withStore([&](RegistryStore::Impl& r) { return r.close(hKey); });
  return wince_trace_.result(rc);
}
