// The Today shell's item protocol: the item record the shell keeps for each
// item, the messages it exchanges with item windows, and the export types.
#pragma once
#include <windows.h>

typedef enum _TODAYLISTITEMTYPE {
  tlitOwnerInfo = 0,
  tlitAppointments,
  tlitMail,
  tlitTasks,
  tlitCustom,
  tlitNil
} TODAYLISTITEMTYPE;

#define MAX_ITEMNAME 32

typedef struct _TODAYLISTITEM {
  WCHAR szName[MAX_ITEMNAME];
  TODAYLISTITEMTYPE tlit;
  DWORD dwOrder;
  DWORD cyp;
  BOOL fEnabled;
  BOOL fOptions;
  DWORD grfFlags;
  WCHAR szDLLPath[MAX_PATH];
  HINSTANCE hinstDLL;
  HWND hwndCustom;
  BOOL fSizeOnDraw;
  BYTE* prgbCachedData;
  DWORD cbCachedData;
} TODAYLISTITEM;

typedef struct {
  HDC hdc;
  RECT rc;
  HWND hwnd;
} TODAYDRAWWATERMARKINFO;

#define WM_TODAYCUSTOM_CLEARCACHE (WM_USER + 242)
#define WM_TODAYCUSTOM_QUERYREFRESHCACHE (WM_USER + 243)
#define TODAYM_GETCOLOR (WM_USER + 100)
#define TODAYM_DRAWWATERMARK (WM_USER + 101)
#define TODAYCOLOR_TEXT 0x10000004
#define TODAYCOLOR_HIGHLIGHT 0x10000022
#define TODAYCOLOR_HIGHLIGHTEDTEXT 0x10000023

// Ordinals of the item library's exports.
#define ORDINAL_INITIALIZEITEM 240
#define ORDINAL_OPTIONSDIALOGPROC 241

// The create-item export carries no calling convention, so on x86 it is the
// C one. The options procedure is handed to the dialog manager, which calls
// it as any dialog procedure: CALLBACK.
typedef HWND (*PFNCUSTOMINITIALIZEITEM)(TODAYLISTITEM*, HWND);
typedef BOOL(CALLBACK* PFNCUSTOMOPTIONSDLGPROC)(HWND, UINT, UINT, LONG);
