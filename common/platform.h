// What differs between the device and a desktop Win32 build, bridged once.
// A device compiler defines _WIN32 too; _WIN32_WCE tells the device apart.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#if defined(_WIN32) && !defined(_WIN32_WCE)
// Desktop Win32 refuses a query or a write through a key opened with access
// 0; Windows CE ignores the access mask, and the device code passes 0.
#define CRESTUNE_KEY_READ KEY_QUERY_VALUE
#define CRESTUNE_KEY_WRITE (KEY_QUERY_VALUE | KEY_SET_VALUE)
// The device's OPENFILENAME is the 76-byte layout that desktop Win32 knows as
// its version-4 structure.
#define CRESTUNE_OFN_SIZE OPENFILENAME_SIZE_VERSION_400W
#else  // the device, and the stand-in that plays it
#define CRESTUNE_KEY_READ 0
#define CRESTUNE_KEY_WRITE 0
#define CRESTUNE_OFN_SIZE sizeof(OPENFILENAME)
#endif

// Exports called through the platform's function-pointer types, which carry
// no calling convention (so the C one on x86).
#define CRESTUNE_EXPORT extern "C"
