// The build's platform switches as a device compiler sees them: it defines
// _WIN32 as well as _WIN32_WCE, and must still take the device's branch
// (registry access 0, the device's own OPENFILENAME). Checked when this
// file compiles; nothing else here runs.
#ifndef _WIN32
#define _WIN32 1
#endif
#define _WIN32_WCE 0x0300
#include "platform.h"

static_assert(CRESTUNE_KEY_READ == 0, "the device opens keys with access 0");
static_assert(CRESTUNE_KEY_WRITE == 0, "the device creates keys with access 0");
static_assert(CRESTUNE_OFN_SIZE == sizeof(OPENFILENAME), "the device's OPENFILENAME is its own size");
