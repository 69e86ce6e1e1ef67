#include "device/trace.h"

#include <cstdio>

#include "kernel/modules.h"

namespace wince {

bool traceWanted(const void* returnAddress) {
  if (!Device::exists()) return false;
  Device& d = Device::current();
  return d.trace().enabled() && d.modules().isProductAddress(returnAddress);
}

std::string traceArg(const char16_t* s) {
  if (!s) return "NULL";
  if (IS_INTRESOURCE(s)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(s));
  return "\"" + narrow(s) + "\"";
}

std::string traceArg(const char* s) {
  if (!s) return "NULL";
  if (IS_INTRESOURCE(s)) return "#" + std::to_string(reinterpret_cast<uintptr_t>(s));
  return "\"" + std::string(s) + "\"";
}

std::string traceArg(HKEY key) {
  if (key == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
  if (key == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
  if (key == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
  return traceArg(static_cast<const void*>(key));
}

std::string traceArg(const void* p) {
  if (!p) return "NULL";
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(p)));
  return buf;
}

bool CallTrace::failure(DWORD* error) {
  if (!Device::exists()) return false;
  Device& d = Device::current();
  if (d.faults().empty() || !d.modules().isProductAddress(caller_)) return false;
  injected_ = d.faults().take(name_, error);
  return injected_;
}

void CallTrace::appendResult(const std::string& r) {
  // Entries are never removed while a call is open, so the index still holds.
  auto& entries = const_cast<std::vector<TraceEntry>&>(Device::current().trace().entries());
  if (index_ < entries.size()) entries[index_].call += " = " + r;
}

}  // namespace wince
