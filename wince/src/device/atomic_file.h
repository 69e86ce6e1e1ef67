// Replacing a file so that it appears whole or not at all, and the
// temporary files that does it.
#pragma once
#include <string>

#include "output_file.h"

namespace wince {

// True when `name` is the name of a temporary file writeFileAtomically makes
// for a file named `target` (".registry.reg.XXXXXX" for "registry.reg"):
// one left behind by a process that ended between making and renaming it.
bool isTemporaryFileOf(const std::string& target, const std::string& name);

}  // namespace wince
