// The Pocket PC shell library: tap-and-hold recognition and full-screen
// dialog set-up.
#pragma once
#include <windows.h>

// Functions of the shell library. The desktop Win32 build imports them from
// its own aygshell.dll (see win32/include/aygshell.h).
#ifndef AYGSHELLAPI
#define AYGSHELLAPI WINBASEAPI
#endif

typedef struct tagSHRGI {
  DWORD cbSize;
  HWND hwndClient;
  POINT ptDown;
  DWORD dwFlags;
} SHRGINFO, *PSHRGINFO;

#define SHRG_RETURNCMD 0x00000001
#define SHRG_NOTIFYPARENT 0x00000002
#define SHRG_LONGDELAY 0x00000008
#define SHRG_NOANIMATION 0x00000010
#define GN_CONTEXTMENU 1000

typedef struct tagSHINITDIALOG {
  DWORD dwMask;
  HWND hDlg;
  DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010

#ifdef __cplusplus
extern "C" {
#endif
AYGSHELLAPI DWORD WINAPI SHRecognizeGesture(SHRGINFO* shrg);
AYGSHELLAPI BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);
#ifdef __cplusplus
}
#endif
