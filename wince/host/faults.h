// Failures planned by a test or a script: the next calls of a platform
// function made by a product library fail as the platform documents that
// function's failure (its failure result, and the error that GetLastError
// or the result itself gives). The device's own programs are not affected.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace wince {

class FaultPlan {
 public:
  // The calls that can be told to fail, with the error each gives by default.
  struct Injectable {
    const char* call;
    DWORD error;
  };
  static const std::vector<Injectable>& injectable();
  // The default error of an injectable call; false for any other name.
  static bool knows(const std::string& call, DWORD* defaultError = nullptr);

  // After `after` calls of `call` that run as usual, the next `times` fail
  // with `error` (0: its default). Replaces what was planned for `call`.
  // Throws DeviceError for a call that cannot be told to fail, times < 1 or
  // after < 0.
  void add(const std::string& call, DWORD error = 0, int times = 1, int after = 0);
  void clear() { planned_.clear(); }
  bool empty() const { return planned_.empty(); }
  // Failures still planned for `call`.
  int pending(const std::string& call) const;
  // Takes one planned failure of `call`: true, with its error, if there was one.
  bool take(const char* call, DWORD* error);

 private:
  struct Planned {
    DWORD error;
    int times;
    int after;
  };
  std::map<std::string, Planned, std::less<>> planned_;
};

}  // namespace wince
