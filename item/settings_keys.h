// The settings that the item and the installer share: one registry key
// under HKEY_LOCAL_MACHINE, its three values, the player the item starts
// when none is stored, and the buffer the player path moves through.
#pragma once
#include "platform.h"

#define SETTINGS_KEY TEXT("SOFTWARE\\Halvorn\\WMP Crestune")
#define SETTING_ICON_SIZE TEXT("IconSize")  // DWORD: 1 large Play button, else standard
#define SETTING_PLAYER_PATH TEXT("WMPApplication")  // REG_SZ, always stored as the whole buffer
#define SETTING_LANGUAGE TEXT("Language")  // DWORD: 0 English, otherwise Spanish
#define DEFAULT_PLAYER_PATH TEXT("wmplayer.exe")

#define PLAYER_PATH_UNITS 1024  // 1023 characters and the terminator: 2048 bytes
#define PLAYER_PATH_BYTES (PLAYER_PATH_UNITS * (int)sizeof(WCHAR))
