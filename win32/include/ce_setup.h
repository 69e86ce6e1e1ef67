// The installer's hook declarations are the same on both builds.
#pragma once
#include "../../wince/include/ce_setup.h"
