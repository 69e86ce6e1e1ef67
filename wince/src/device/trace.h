// Recording of platform calls made by product libraries. An API function
// opens a CallTrace with its name and its caller's return address; when the
// caller lies in a library loaded through LoadLibraryW and the device's trace
// is on, the call is recorded with its arguments and, later, its result.
#pragma once
#include <windows.h>

#include <string>

#include "device.h"
#include "trace_format.h"

namespace wince {

bool traceWanted(const void* returnAddress);
class CallTrace {
 public:
  CallTrace(const char* name, const void* returnAddress)
      : name_(name), caller_(returnAddress), on_(traceWanted(returnAddress)) {}
  template <class... A>
  void args(const A&... a) {
    if (!on_) return;
    std::vector<std::string> written{traceArg(a)...};
    std::string s = std::string(name_) + "(";
    for (size_t i = 0; i < written.size(); ++i) s += (i ? ", " : "") + written[i];
    s += ")";
    auto& trace = Device::current().trace();
    index_ = trace.entries().size();
    trace.record({s, name_, std::move(written)});
  }
  template <class R>
  R result(R r) {
    if (on_ && index_ != npos) appendResult(traceArg(r) + (injected_ ? " (failure injected)" : ""));
    return r;
  }

  // True when a failure of this call is planned for a product library's
  // call (FaultPlan): the call then fails with `*error` instead of running.
  bool failure(DWORD* error);
  // Fails a call whose failure result says nothing more: sets the error
  // GetLastError gives and answers `failed`.
  template <class R>
  R fail(DWORD error, R failed) {
    Device::current().lastError() = error;
    return result(failed);
  }

 private:
  static constexpr size_t npos = static_cast<size_t>(-1);
  void appendResult(const std::string& r);
  const char* name_;
  const void* caller_;
  bool on_;
  bool injected_ = false;
  size_t index_ = npos;
};

}  // namespace wince

// Opens the trace of the enclosing API function.
#define WINCE_TRACE(name) ::wince::CallTrace wince_trace_(name, __builtin_return_address(0))
