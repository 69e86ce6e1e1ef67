// The Today shell's item protocol for the desktop Win32 build, whose headers
// lack it: the device's declarations, on the real Win32 types.
#pragma once
#include <windows.h>

#include "../../wince/include/todaycmn.h"
