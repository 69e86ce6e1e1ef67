// The "Choose Setup Language" dialog and the first settings it writes.
#include "setup.h"
#include "resource.h"

int SelectedLanguage = 0;

const SetupStrings EnglishSetupStrings = {
    TEXT("Choose Setup Language"),
    TEXT("Select the language for this instalation from the choices below."),
    TEXT("OK"),
    TEXT("Cancel"),
};

const SetupStrings SpanishSetupStrings = {
    TEXT("Selección de Idioma de Configuración"),
    TEXT("Seleccione uno de los siguientes idiomas para la instalación."),
    TEXT("Aceptar"),
    TEXT("Cancelar"),
};

#define COMMAND_KEY_FORMAT TEXT("%s\\Shell\\Open\\Command")
#define COMMAND_KEY_FIXED_UNITS 19  // "\Shell\Open\Command"

BOOL InitLanguageDialog(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_LANGUAGE_LIST);
  SendMessageW(list, CB_ADDSTRING, 0, (LPARAM)TEXT("English"));
  SendMessageW(list, CB_ADDSTRING, 0, (LPARAM)TEXT("Español"));
  SendMessageW(list, CB_SETCURSEL, 0, 0);
  return TRUE;
}

void SetDialogTexts(HWND dialog, const SetupStrings* strings) {
  SetWindowTextW(dialog, strings->title);
  SetWindowTextW(GetDlgItem(dialog, IDC_LANGUAGE_PROMPT), strings->prompt);
  SetWindowTextW(GetDlgItem(dialog, IDOK), strings->ok);
  SetWindowTextW(GetDlgItem(dialog, IDCANCEL), strings->cancel);
}

// Reads a key's default value as text into a PATH_UNITS buffer; a value
// that fills the buffer without a terminator ends inside it.
static BOOL QueryDefaultText(HKEY root, LPCWSTR path, WCHAR* text) {
  HKEY key = NULL;
  DWORD size = PATH_BYTES;
  LONG result;
  if (RegOpenKeyExW(root, path, 0, CRESTUNE_KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
  result = RegQueryValueExW(key, NULL, NULL, NULL, (LPBYTE)text, &size);
  RegCloseKey(key);
  text[PATH_UNITS - 1] = 0;
  return result == ERROR_SUCCESS;
}

// Copies the program part of a command line into path: the text between the
// first two double quotes when it starts with one, else the text before the
// first space. The rest of path is left zero: the whole buffer is stored.
BOOL ReducePlayerCommand(const WCHAR* command, WCHAR* path) {
  int start = command[0] == '"' ? 1 : 0;
  WCHAR end = start ? '"' : ' ';
  int length = 0;
  while (length < PATH_UNITS - 1 && command[start + length] && command[start + length] != end) length++;
  ZeroMemory(path, PATH_BYTES);
  lstrcpynW(path, command + start, length + 1);
  return TRUE;
}

BOOL FindPlayerFromAssociation(WCHAR* path) {
  WCHAR className[PATH_UNITS];
  WCHAR commandKey[PATH_UNITS];
  ZeroMemory(className, sizeof(className));
  ZeroMemory(commandKey, sizeof(commandKey));
  if (!QueryDefaultText(HKEY_CLASSES_ROOT, TEXT(".wmv"), className)) return FALSE;
  // A class name too long for the command key's path is no association.
  if (lstrlenW(className) + COMMAND_KEY_FIXED_UNITS >= PATH_UNITS) return FALSE;
  wsprintfW(commandKey, COMMAND_KEY_FORMAT, className);
  ZeroMemory(className, sizeof(className));
  if (!QueryDefaultText(HKEY_CLASSES_ROOT, commandKey, className)) return FALSE;
  return ReducePlayerCommand(className, path);
}

void WriteInitialSettings(void) {
  WCHAR path[PATH_UNITS];
  HKEY key = NULL;
  DWORD disposition = 0;
  DWORD iconSize = 32;
  DWORD language = (DWORD)SelectedLanguage;
  ZeroMemory(path, sizeof(path));
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, NULL, 0, CRESTUNE_KEY_WRITE, NULL, &key, &disposition) !=
      ERROR_SUCCESS)
    return;
  RegSetValueExW(key, SETTING_ICON_SIZE, 0, REG_DWORD, (const BYTE*)&iconSize, sizeof(iconSize));
  if (!FindPlayerFromAssociation(path)) lstrcpynW(path, DEFAULT_PLAYER_PATH, PATH_UNITS);
  RegSetValueExW(key, SETTING_PLAYER_PATH, 0, REG_SZ, (const BYTE*)path, PATH_BYTES);
  RegSetValueExW(key, SETTING_LANGUAGE, 0, REG_DWORD, (const BYTE*)&language, sizeof(language));
  RegCloseKey(key);
}

static INT_PTR OnLanguageCommand(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (LOWORD(wParam)) {
    case IDOK:
      SelectedLanguage = (int)SendMessageW(GetDlgItem(dialog, IDC_LANGUAGE_LIST), CB_GETCURSEL, 0, 0);
      WriteInitialSettings();
      return EndDialog(dialog, 1);
    case IDCANCEL:
      return EndDialog(dialog, 0);
    case IDC_LANGUAGE_LIST:
      if (HIWORD(wParam) == CBN_SELCHANGE) {
        LRESULT index = SendMessageW(GetDlgItem(dialog, IDC_LANGUAGE_LIST), CB_GETCURSEL, 0, 0);
        SetDialogTexts(dialog, index == 0 ? &EnglishSetupStrings : &SpanishSetupStrings);
      }
      break;
  }
  return DefWindowProcW(dialog, message, wParam, lParam);
}

INT_PTR CALLBACK LanguageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return InitLanguageDialog(dialog);
    case WM_COMMAND:
      return OnLanguageCommand(dialog, message, wParam, lParam);
    case WM_CLOSE:
      // Closed from outside: as Cancel. DefWindowProcW would destroy the
      // modal dialog without EndDialog and leave its owner disabled.
      return EndDialog(dialog, 0);
  }
  return DefWindowProcW(dialog, message, wParam, lParam);
}
