// The calls a test or script can make fail, and the plan of failures.
#include "faults.h"

#include <commdlg.h>

#include <algorithm>
#include <string_view>

#include "device_error.h"

namespace wince {

const std::vector<FaultPlan::Injectable>& FaultPlan::injectable() {
  // Each with the error the platform gives for its most likely failure on
  // the device: a key or resource that is not there, memory that runs out,
  // a class that still has windows.
  static const std::vector<Injectable> calls = {
      {"RegOpenKeyExW", ERROR_FILE_NOT_FOUND},
      {"RegCreateKeyExW", ERROR_ACCESS_DENIED},
      {"RegQueryValueExW", ERROR_FILE_NOT_FOUND},
      {"RegSetValueExW", ERROR_ACCESS_DENIED},
      {"RegDeleteValueW", ERROR_ACCESS_DENIED},
      {"RegDeleteKeyW", ERROR_ACCESS_DENIED},
      {"RegEnumKeyExW", ERROR_NO_MORE_ITEMS},
      {"LocalAlloc", ERROR_NOT_ENOUGH_MEMORY},
      {"LoadImageW", ERROR_RESOURCE_NAME_NOT_FOUND},
      {"FindResourceW", ERROR_RESOURCE_NAME_NOT_FOUND},
      {"LoadResource", ERROR_RESOURCE_NAME_NOT_FOUND},
      {"CreateFontIndirectW", ERROR_NOT_ENOUGH_MEMORY},
      {"ShellExecuteEx", ERROR_FILE_NOT_FOUND},
      {"GetOpenFileNameW", CDERR_INITIALIZATION},
      {"RegisterClassW", ERROR_NOT_ENOUGH_MEMORY},
      {"UnregisterClassW", ERROR_CLASS_HAS_WINDOWS},
      {"CreateWindowExW", ERROR_NOT_ENOUGH_MEMORY},
      {"CreatePopupMenu", ERROR_NOT_ENOUGH_MEMORY},
      {"TrackPopupMenuEx", ERROR_NOT_ENOUGH_MEMORY},
      {"DialogBoxParamW", ERROR_RESOURCE_NAME_NOT_FOUND},
      {"DialogBoxIndirectParamW", ERROR_NOT_ENOUGH_MEMORY},
  };
  return calls;
}

bool FaultPlan::knows(const std::string& call, DWORD* defaultError) {
  const auto& calls = injectable();
  auto it = std::find_if(calls.begin(), calls.end(), [&](const Injectable& i) { return call == i.call; });
  if (it == calls.end()) return false;
  if (defaultError) *defaultError = it->error;
  return true;
}

void FaultPlan::add(const std::string& call, DWORD error, int times, int after) {
  DWORD usual = 0;
  if (!knows(call, &usual)) throw DeviceError(call + " cannot be told to fail");
  if (times < 1) throw DeviceError("a failure is planned at least once, not " + std::to_string(times) + " times");
  if (after < 0) throw DeviceError("a failure cannot come after " + std::to_string(after) + " calls");
  planned_[call] = Planned{error ? error : usual, times, after};
}

int FaultPlan::pending(const std::string& call) const {
  auto it = planned_.find(call);
  return it == planned_.end() ? 0 : it->second.times;
}

bool FaultPlan::take(const char* call, DWORD* error) {
  auto it = planned_.find(std::string_view(call));
  if (it == planned_.end()) return false;
  if (it->second.after > 0) {
    --it->second.after;
    return false;
  }
  *error = it->second.error;
  if (--it->second.times == 0) planned_.erase(it);
  return true;
}

}  // namespace wince
