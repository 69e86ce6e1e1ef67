// The installer hook: its exports, the language chooser and the first
// settings it writes.
#pragma once
#include "platform.h"
#include "settings_keys.h"

#include <ce_setup.h>

#define SETUP_API extern "C"

// Every path and text buffer of the installer is the size of the buffer
// the stored player path moves through.
#define PATH_UNITS PLAYER_PATH_UNITS
#define PATH_BYTES PLAYER_PATH_BYTES

typedef struct SetupStrings {
  LPCWSTR title;
  LPCWSTR prompt;
  LPCWSTR ok;
  LPCWSTR cancel;
} SetupStrings;

extern HINSTANCE ModuleInstance;
extern int SelectedLanguage;
extern const SetupStrings EnglishSetupStrings;
extern const SetupStrings SpanishSetupStrings;

SETUP_API codeINSTALL_INIT Install_Init(HWND hwndParent, BOOL fFirstCall, BOOL fPreviouslyInstalled,
                                        LPCWSTR pszInstallDir);
SETUP_API codeINSTALL_EXIT Install_Exit(HWND hwndParent, LPCWSTR pszInstallDir, WORD cFailedDirs, WORD cFailedFiles,
                                        WORD cFailedRegKeys, WORD cFailedRegVals, WORD cFailedShortcuts);
SETUP_API codeUNINSTALL_INIT Uninstall_Init(HWND hwndParent, LPCWSTR pszInstallDir);
SETUP_API codeUNINSTALL_EXIT Uninstall_Exit(HWND hwndParent);

LONG DeleteTodayItemKey(LPCWSTR itemName);
BOOL RemoveTodayItem(LPCWSTR itemName);
void BroadcastTodayRefresh(void);
BOOL ShowLanguageDialog(void);

INT_PTR CALLBACK LanguageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
BOOL InitLanguageDialog(HWND dialog);
void SetDialogTexts(HWND dialog, const SetupStrings* strings);
void WriteInitialSettings(void);
BOOL FindPlayerFromAssociation(WCHAR* path);
BOOL ReducePlayerCommand(const WCHAR* command, WCHAR* path);
