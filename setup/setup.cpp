// The four hooks the CAB installer calls around installing and removing the
// package, and the Today item registration they clean up.
#include "setup.h"
#include "resource.h"

HINSTANCE ModuleInstance = NULL;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) ModuleInstance = instance;
  return TRUE;
}

// Deletes the item's registration key and answers the registry's result.
LONG DeleteTodayItemKey(LPCWSTR itemName) {
  WCHAR path[PATH_UNITS];
  ZeroMemory(path, sizeof(path));
  if (lstrlenW(itemName) > PATH_UNITS - 64) return ERROR_INVALID_PARAMETER;
  wsprintfW(path, ITEM_KEY_FORMAT, itemName);
  return RegDeleteKeyW(HKEY_LOCAL_MACHINE, path);
}

BOOL RemoveTodayItem(LPCWSTR itemName) { return DeleteTodayItemKey(itemName) == ERROR_SUCCESS; }

void BroadcastTodayRefresh(void) { SendMessageW(HWND_BROADCAST, WM_WININICHANGE, 0xF2, 0); }

BOOL ShowLanguageDialog(void) {
  HRSRC found = FindResourceW(ModuleInstance, MAKEINTRESOURCE(IDD_LANGUAGE), RT_DIALOG);
  HGLOBAL loaded;
  INT_PTR result;
  if (!found) return FALSE;
  loaded = LoadResource(ModuleInstance, found);
  if (!loaded) return FALSE;
  result = DialogBoxIndirectParamW(ModuleInstance, (LPCDLGTEMPLATE)loaded, NULL, LanguageDialogProc, 0);
  return result != -1 && result != 0;
}

SETUP_API codeINSTALL_INIT Install_Init(HWND hwndParent, BOOL fFirstCall, BOOL fPreviouslyInstalled,
                                        LPCWSTR pszInstallDir) {
  (void)hwndParent, (void)fFirstCall, (void)pszInstallDir;
  if (fPreviouslyInstalled) {
    RemoveTodayItem(ITEM_NAME);
    BroadcastTodayRefresh();
    Sleep(2000);
  }
  return ShowLanguageDialog() ? codeINSTALL_INIT_CONTINUE : codeINSTALL_INIT_CANCEL;
}

SETUP_API codeINSTALL_EXIT Install_Exit(HWND hwndParent, LPCWSTR pszInstallDir, WORD cFailedDirs, WORD cFailedFiles,
                                        WORD cFailedRegKeys, WORD cFailedRegVals, WORD cFailedShortcuts) {
  (void)hwndParent, (void)pszInstallDir, (void)cFailedDirs, (void)cFailedFiles, (void)cFailedRegKeys;
  (void)cFailedRegVals, (void)cFailedShortcuts;
  BroadcastTodayRefresh();
  return codeINSTALL_EXIT_DONE;
}

SETUP_API codeUNINSTALL_INIT Uninstall_Init(HWND hwndParent, LPCWSTR pszInstallDir) {
  LONG removed;
  (void)pszInstallDir;
  removed = DeleteTodayItemKey(ITEM_NAME);
  // A registration that is already gone is as good as removed: refusing
  // would leave a package that can never be uninstalled.
  if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
    MessageBoxW(hwndParent, TEXT("RemoveTodayItem()"), TEXT("Uninstall WMP Crestune Error"), MB_OK | MB_ICONERROR);
    return codeUNINSTALL_INIT_CANCEL;
  }
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, SETTINGS_KEY);
  BroadcastTodayRefresh();
  Sleep(2000);
  return codeUNINSTALL_INIT_CONTINUE;
}

SETUP_API codeUNINSTALL_EXIT Uninstall_Exit(HWND hwndParent) {
  (void)hwndParent;
  return codeUNINSTALL_EXIT_DONE;
}
