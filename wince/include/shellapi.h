// Shell: starting programs and opening documents and addresses.
#pragma once
#include "windef.h"

typedef struct _SHELLEXECUTEINFO {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCWSTR lpVerb;
  LPCWSTR lpFile;
  LPCWSTR lpParameters;
  LPCWSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  LPVOID lpIDList;
  LPCWSTR lpClass;
  HKEY hkeyClass;
  DWORD dwHotKey;
  HANDLE hIcon;
  HANDLE hProcess;
} SHELLEXECUTEINFO, *LPSHELLEXECUTEINFO;

#define SEE_MASK_CLASSNAME 0x00000001
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_FLAG_NO_UI 0x00000400

#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31

SHSTDAPI BOOL WINAPI ShellExecuteEx(LPSHELLEXECUTEINFO lpExecInfo);
