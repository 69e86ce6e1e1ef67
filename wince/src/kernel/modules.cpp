#include "kernel/modules.h"

namespace wince {
ModuleTable::~ModuleTable() = default;
const LoadedModule* ModuleTable::find(HMODULE handle) const {
  auto it = modules_.find(handle);
  return it == modules_.end() ? nullptr : &it->second;
}
bool ModuleTable::isProductAddress(const void*) const { return false; }
HMODULE ModuleTable::load(const std::u16string&) { return nullptr; }
BOOL ModuleTable::free(HMODULE) { return FALSE; }
FARPROC ModuleTable::procAddress(HMODULE, const char*, unsigned) { return nullptr; }
}  // namespace wince
