// The platform functions guest code can import, and where each is found:
// by COREDLL ordinal or by name, as the device's import table
// (device/imports.txt, the one table the device build's imports come from)
// says.
#pragma once
#include <cstdint>
#include <string>

#include "cpu/machine.h"

namespace wince::cpu {

struct PlatformImport {
  const char* name;  // the platform's name of the function
  HostCall call;
  bool leaf;  // never runs guest code before it returns
};

// The function a library imports by ordinal or by name (ordinal 0), or
// null. `name` is set to the function's name when the table knows it.
const PlatformImport* findImport(const std::string& library, unsigned ordinal, const std::string& byName,
                                 std::string& name);

// The table the binder reads, for tests: "FUNCTION LIBRARY ORDINAL|name|runtime [EXPORT]" lines.
const char* importTableText();

}  // namespace wince::cpu
