// The CAB installer's hooks: what a setup library exports and what its
// answers mean.
#pragma once
#include <windows.h>

typedef enum {
  codeINSTALL_INIT_CONTINUE = 0,
  codeINSTALL_INIT_CANCEL
} codeINSTALL_INIT;

typedef enum {
  codeINSTALL_EXIT_DONE = 0,
  codeINSTALL_EXIT_UNINSTALL
} codeINSTALL_EXIT;

typedef enum {
  codeUNINSTALL_INIT_CONTINUE = 0,
  codeUNINSTALL_INIT_CANCEL
} codeUNINSTALL_INIT;

typedef enum {
  codeUNINSTALL_EXIT_DONE = 0
} codeUNINSTALL_EXIT;

typedef codeINSTALL_INIT (*pfnINSTALL_INIT)(HWND hwndParent, BOOL fFirstCall, BOOL fPreviouslyInstalled,
                                            LPCWSTR pszInstallDir);
typedef codeINSTALL_EXIT (*pfnINSTALL_EXIT)(HWND hwndParent, LPCWSTR pszInstallDir, WORD cFailedDirs,
                                            WORD cFailedFiles, WORD cFailedRegKeys, WORD cFailedRegVals,
                                            WORD cFailedShortcuts);
typedef codeUNINSTALL_INIT (*pfnUNINSTALL_INIT)(HWND hwndParent, LPCWSTR pszInstallDir);
typedef codeUNINSTALL_EXIT (*pfnUNINSTALL_EXIT)(HWND hwndParent);
