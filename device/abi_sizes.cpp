// Compiled for the device only, never linked: the platform's structures as
// this build lays them out must be the sizes and offsets the device's own
// libraries expect, or every call that passes one reads the wrong fields.
// The numbers are the 32-bit Windows CE layouts.
#include <windows.h>
#include <aygshell.h>
#include <ce_setup.h>
#include <commdlg.h>
#include <shellapi.h>
#include <todaycmn.h>

#define PIN_SIZE(type, bytes) static_assert(sizeof(type) == (bytes), #type " is not the device's size")
#define PIN_OFFSET(type, field, at) \
  static_assert(__builtin_offsetof(type, field) == (at), #type "." #field " is not at the device's offset")

// Scalars and handles: 32-bit pointers, 16-bit characters, int-sized enums.
PIN_SIZE(void*, 4);
PIN_SIZE(WCHAR, 2);
PIN_SIZE(wchar_t, 2);
PIN_SIZE(LONG, 4);
PIN_SIZE(WPARAM, 4);
PIN_SIZE(LPARAM, 4);
PIN_SIZE(HWND, 4);
PIN_SIZE(TODAYLISTITEMTYPE, 4);
PIN_SIZE(codeINSTALL_INIT, 4);

PIN_SIZE(RECT, 16);
PIN_SIZE(POINT, 8);
PIN_SIZE(SYSTEMTIME, 16);
PIN_SIZE(WNDCLASSW, 40);
PIN_SIZE(CREATESTRUCTW, 48);
PIN_SIZE(MSG, 28);
PIN_OFFSET(MSG, pt, 20);
PIN_SIZE(PAINTSTRUCT, 64);
PIN_OFFSET(PAINTSTRUCT, rcPaint, 8);
PIN_SIZE(TPMPARAMS, 20);
PIN_SIZE(DLGTEMPLATE, 18);
PIN_SIZE(DLGITEMTEMPLATE, 18);
PIN_SIZE(LOGFONTW, 92);
PIN_OFFSET(LOGFONTW, lfFaceName, 28);
PIN_SIZE(TEXTMETRICW, 60);
PIN_OFFSET(TEXTMETRICW, tmFirstChar, 44);
PIN_OFFSET(TEXTMETRICW, tmItalic, 52);
PIN_SIZE(LOGPEN, 16);
PIN_SIZE(LOGBRUSH, 12);
PIN_SIZE(OPENFILENAMEW, 76);
PIN_OFFSET(OPENFILENAMEW, nFileOffset, 56);
PIN_OFFSET(OPENFILENAMEW, lpTemplateName, 72);
PIN_SIZE(SHELLEXECUTEINFO, 60);
PIN_OFFSET(SHELLEXECUTEINFO, hProcess, 56);
PIN_SIZE(SHRGINFO, 20);
PIN_SIZE(SHINITDLGINFO, 12);
PIN_SIZE(TODAYLISTITEM, 628);
PIN_OFFSET(TODAYLISTITEM, tlit, 64);
PIN_OFFSET(TODAYLISTITEM, szDLLPath, 88);
PIN_OFFSET(TODAYLISTITEM, hinstDLL, 608);
PIN_OFFSET(TODAYLISTITEM, cbCachedData, 624);
PIN_SIZE(TODAYDRAWWATERMARKINFO, 24);
