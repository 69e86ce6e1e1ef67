// Errors of the emulated device itself (not of the platform API it serves):
// a damaged device folder, a script that cannot run. Shown to the person as
// one line.
#pragma once
#include <stdexcept>
#include <string>

namespace wince {

class DeviceError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace wince
