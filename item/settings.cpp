// The item's run-time record, its settings in the registry, and the two
// language tables of the user interface.
#include "crestitem.h"

ItemContext g_ItemContext = {
    TEXT("WMPCrestune"),
    TEXT("_WMPCrestuneClass"),
    TEXT("Windows Media"),
    TEXT("Windows Media Player Crestune"),
    NULL,
    32,
    24,
    NULL,
    NULL,
    NULL,
    NULL,
    0,
};

const UiStrings EnglishStrings = {
    TEXT("Mute"),
    TEXT("Volume Up"),
    TEXT("Volume Down"),
    TEXT("Properties..."),
    TEXT("Repeat"),
    TEXT("Shuffle"),
    TEXT("Playlist..."),
    TEXT("Windows Media Player..."),
    TEXT("Close Windows Media Player"),
    TEXT("Settings"),
    TEXT("Display:"),
    TEXT("Large Buttons"),
    TEXT("Standard Buttons"),
    TEXT("Windows Media Player Application:"),
    TEXT("Browse..."),
    TEXT("Cancel"),
    TEXT("Today: WMP Crestune Options"),
    TEXT("Open File"),
    TEXT("Windows Media Player\0*.EXE\0Programs (*.EXE)\0*.EXE\0"),
    TEXT("no found."),
};

const UiStrings SpanishStrings = {
    TEXT("Silencio"),
    TEXT("Subir Volumen"),
    TEXT("Bajar Volumen"),
    TEXT("Propiedades..."),
    TEXT("Repetir"),
    TEXT("Reproducción Aleatoria"),
    TEXT("Lista de Reproducción..."),
    TEXT("Windows Media Player..."),
    TEXT("Cerrar Windows Media Player"),
    TEXT("Configuración"),
    TEXT("Mostrar:"),
    TEXT("Iconos Grandes"),
    TEXT("Iconos Clásicos"),
    TEXT("Ejecutable de Windows Media Player:"),
    TEXT("Examinar..."),
    TEXT("Cancelar"),
    TEXT("Hoy: WMP Crestune Opciones"),
    TEXT("Abrir Archivo"),
    TEXT("Windows Media Player\0*.EXE\0Programas (*.EXE)\0*.EXE\0"),
    TEXT("no encontrado."),
};

const LPCWSTR* StringsForLanguage(int language) { return language ? SpanishStrings : EnglishStrings; }

LPWSTR CopyHeapString(LPCWSTR text) {
  int units = lstrlenW(text) + 1;
  LPWSTR copy = (LPWSTR)LocalAlloc(LPTR, (UINT)units * sizeof(WCHAR));
  if (copy) lstrcpynW(copy, text ? text : TEXT(""), units);
  return copy;
}

void FreeHeapString(LPWSTR* text) {
  if (*text) {
    LocalFree(*text);
    *text = NULL;
  }
}

// Reads the stored player path into a buffer of PLAYER_PATH_UNITS units. A
// value that does not fit, or fills the buffer without a terminator, gives
// its first 1023 characters.
static void QueryPlayerPath(HKEY key, WCHAR* buffer) {
  DWORD size = PLAYER_PATH_BYTES;
  LONG result = RegQueryValueExW(key, SETTING_PLAYER_PATH, NULL, NULL, (LPBYTE)buffer, &size);
  if (result == ERROR_MORE_DATA) {
    DWORD needed = size;
    // What the short read left is not the path: unless the whole value is
    // read below, the path is empty.
    buffer[0] = 0;
    LPBYTE whole = (LPBYTE)LocalAlloc(LPTR, needed + sizeof(WCHAR));
    if (whole) {
      size = needed;
      if (RegQueryValueExW(key, SETTING_PLAYER_PATH, NULL, NULL, whole, &size) == ERROR_SUCCESS)
        lstrcpynW(buffer, (LPCWSTR)whole, PLAYER_PATH_UNITS);
      LocalFree(whole);
    }
  }
  buffer[PLAYER_PATH_UNITS - 1] = 0;
}

// Reads one DWORD value of the settings key; a missing value reads as 0.
static DWORD QueryDword(HKEY key, LPCWSTR name) {
  DWORD value = 0;
  DWORD size = sizeof(value);
  RegQueryValueExW(key, name, NULL, NULL, (LPBYTE)&value, &size);
  return value;
}

LONG LoadSettings(ItemContext* context) {
  WCHAR path[PLAYER_PATH_UNITS];
  HKEY key = NULL;
  LONG result;
  ZeroMemory(path, sizeof(path));
  if (!context->playerPath) context->playerPath = CopyHeapString(DEFAULT_PLAYER_PATH);
  result = RegOpenKeyExW(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, CRESTUNE_KEY_READ, &key);
  if (result != ERROR_SUCCESS) return result;

  context->playIconSize = QueryDword(key, SETTING_ICON_SIZE) == 1 ? 32 : 24;
  context->otherIconSize = 24;
  context->language = QueryDword(key, SETTING_LANGUAGE) ? 1 : 0;

  QueryPlayerPath(key, path);
  FreeHeapString(&context->playerPath);
  context->playerPath = CopyHeapString(path);

  return RegCloseKey(key);
}

void SaveSettings(ItemContext* context) {
  WCHAR path[PLAYER_PATH_UNITS];
  HKEY key = NULL;
  DWORD disposition = 0;
  DWORD iconSize;
  ZeroMemory(path, sizeof(path));
  // Without a key there is nothing to write to.
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, SETTINGS_KEY, 0, NULL, 0, CRESTUNE_KEY_WRITE, NULL, &key, &disposition) !=
      ERROR_SUCCESS)
    return;
  iconSize = context->playIconSize == 32 ? 1 : 0;
  RegSetValueExW(key, SETTING_ICON_SIZE, 0, REG_DWORD, (const BYTE*)&iconSize, sizeof(iconSize));
  if (context->playerPath) {
    lstrcpynW(path, context->playerPath, PLAYER_PATH_UNITS);
    RegSetValueExW(key, SETTING_PLAYER_PATH, 0, REG_SZ, (const BYTE*)path, PLAYER_PATH_BYTES);
  }
  RegCloseKey(key);
}
