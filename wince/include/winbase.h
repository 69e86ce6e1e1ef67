// Kernel services: modules and resources, heap, strings, time, handles.
#pragma once
#include "windef.h"

#ifdef _WIN32_WCE
// The device build has no C library of its own: the few C functions the
// code uses are COREDLL's, declared here as the device's headers do.
WINCE_BEGIN_DECLS
void* memset(void* dest, int c, size_t count);
void* memcpy(void* dest, const void* src, size_t count);
void* memmove(void* dest, const void* src, size_t count);
int memcmp(const void* a, const void* b, size_t count);
WINCE_END_DECLS
#else
#include <string.h>
#endif

#define ZeroMemory(dest, length) memset((dest), 0, (length))
#define CopyMemory(dest, src, length) memcpy((dest), (src), (length))

typedef INT_PTR (*FARPROC)(void);

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define INFINITE 0xFFFFFFFF
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define RT_CURSOR MAKEINTRESOURCE(1)
#define RT_BITMAP MAKEINTRESOURCE(2)
#define RT_ICON MAKEINTRESOURCE(3)
#define RT_MENU MAKEINTRESOURCE(4)
#define RT_DIALOG MAKEINTRESOURCE(5)
#define RT_STRING MAKEINTRESOURCE(6)
#define RT_RCDATA MAKEINTRESOURCE(10)
#define RT_GROUP_ICON MAKEINTRESOURCE(14)
#define RT_VERSION MAKEINTRESOURCE(16)

typedef struct _SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

// Modules. The device loads a library by its file name from the device's
// folder of programs; DllMain runs on the first load and the last free.
WINBASEAPI HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName);
WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule);
WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
WINBASEAPI FARPROC WINAPI GetProcAddressW(HMODULE hModule, LPCWSTR lpProcName);
WINBASEAPI DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);

// Resources of a loaded module.
WINBASEAPI HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType);
WINBASEAPI HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo);
WINBASEAPI LPVOID WINAPI LockResource(HGLOBAL hResData);
WINBASEAPI DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo);

// Heap.
WINBASEAPI HLOCAL WINAPI LocalAlloc(UINT uFlags, size_t uBytes);
WINBASEAPI HLOCAL WINAPI LocalFree(HLOCAL hMem);

// Errors and handles.
WINBASEAPI DWORD WINAPI GetLastError(void);
WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode);
WINBASEAPI BOOL WINAPI CloseHandle(HANDLE hObject);

// Time: the device's virtual clock.
WINBASEAPI void WINAPI Sleep(DWORD dwMilliseconds);
WINBASEAPI DWORD WINAPI GetTickCount(void);
WINBASEAPI void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime);

// Strings.
WINBASEAPI int WINAPI lstrlenW(LPCWSTR lpString);
WINBASEAPI LPWSTR WINAPI lstrcpynW(LPWSTR lpString1, LPCWSTR lpString2, int iMaxLength);
WINBASEAPI LPWSTR WINAPI lstrcpyW(LPWSTR lpString1, LPCWSTR lpString2);
WINBASEAPI int WINAPI lstrcmpW(LPCWSTR lpString1, LPCWSTR lpString2);
WINBASEAPI int WINAPI lstrcmpiW(LPCWSTR lpString1, LPCWSTR lpString2);
// Formats at most 1024 units including the terminator, as the platform does.
WINBASEAPI int wsprintfW(LPWSTR lpOut, LPCWSTR lpFmt, ...);
