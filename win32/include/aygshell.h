// The Pocket PC shell library for the desktop Win32 build. Desktop Windows
// has no such library; win32/aygshell builds an aygshell.dll of our own that
// exports these functions by name, as the device's does. The declarations
// are the device's.
#pragma once
#include <windows.h>

#ifdef CRESTUNE_BUILDING_AYGSHELL
#define AYGSHELLAPI __declspec(dllexport)
#else
#define AYGSHELLAPI __declspec(dllimport)
#endif

#include "../../wince/include/aygshell.h"
