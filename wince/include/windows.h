// The platform's API as the product and the outside programs see it: the
// real names, values and signatures of the subset this device provides.
#pragma once
#include "windef.h"
#include "winerror.h"
#include "winbase.h"
#include "winuser.h"
#include "wingdi.h"
#include "winreg.h"
#include "shellapi.h"
