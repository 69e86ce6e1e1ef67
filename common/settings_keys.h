// What the item and the installer must agree on: the settings key under
// HKEY_LOCAL_MACHINE, its three values, the player the item starts when none
// is stored, the buffer the player path moves through, and the name and key
// under which the installer registers the item with the Today screen.
#pragma once
#include "platform.h"

#define SETTINGS_KEY TEXT("SOFTWARE\\Halvorn\\WMP Crestune")
#define SETTING_ICON_SIZE TEXT("IconSize")  // DWORD: 1 large Play button, else standard
#define SETTING_PLAYER_PATH TEXT("WMPApplication")  // REG_SZ, always stored as the whole buffer
#define SETTING_LANGUAGE TEXT("Language")  // DWORD: 0 English, otherwise Spanish
#define DEFAULT_PLAYER_PATH TEXT("wmplayer.exe")

#define PLAYER_PATH_UNITS 1024  // 1023 characters and the terminator: 2048 bytes
#define PLAYER_PATH_BYTES (PLAYER_PATH_UNITS * (int)sizeof(WCHAR))

// The Today item's registration: HKEY_LOCAL_MACHINE\<ITEM_KEY_FORMAT with
// ITEM_NAME>, which the Today screen reads to load the item.
#define ITEM_NAME TEXT("WMP Crestune")
#define ITEM_KEY_FORMAT TEXT("Software\\Microsoft\\Today\\Items\\%s")
