// The CAB installer: installs a Windows CE CAB as the device's installer
// does (its .000 install script followed: files to their folders, registry
// values written, the setup library's four hooks called around both, in the
// platform's order), and removes it again from what it recorded.
#pragma once
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace crestune {

struct InstallResult {
  bool completed = false;    // the package is installed (or removed)
  bool cancelled = false;    // the setup library asked to stop
  bool refused = false;      // another install or removal was running, or the CAB is not for
                             // this device: nothing was done
  std::string message;       // what the installer tells the user
};

// A CAB checked against this device before anything is written: every
// file's device path, every registry value as the registry stores it.
struct CheckedCab {
  struct File {
    std::u16string target;  // device path
    std::vector<uint8_t> bytes;
  };
  struct Value {
    std::string key;  // "HKLM\Software\..."
    std::string name;
    DWORD type = REG_NONE;
    std::vector<uint8_t> bytes;
    bool noClobber = false;  // left as it is when already there
  };
  std::string appName;        // "Crestune"
  std::string fullName;       // "<provider> <application>", the name the device records it under
  std::u16string installDir;  // "\Program Files\Crestune"
  std::vector<uint8_t> script;  // the .000 as the CAB holds it
  std::vector<uint8_t> setup;   // the setup library (.999); empty when the CAB has none
  std::vector<File> files;
  std::vector<Value> values;
};

// The processor types this device installs: StrongARM (2577) and the
// stand-in's own build (x86-64, 8664); and its Windows CE version.
constexpr DWORD kDeviceMajor = 3, kDeviceMinor = 0, kDeviceBuild = 11171;

// Reads and checks a CAB: throws wince::DeviceError "FILE: reason" for a
// CAB that is damaged or not for this device.
CheckedCab checkCab(const std::filesystem::path& file);
// The same of a removal record: the .000 the installer kept.
CheckedCab checkScript(const std::vector<uint8_t>& script, const std::string& source);

class Installer {
 public:
  // The build's own CAB, Crestune.CAB beside the build's libraries.
  static std::filesystem::path defaultCab();
  // No CAB: the build's own.
  explicit Installer(std::filesystem::path cab = {});
  bool installed() const;
  InstallResult install();
  InstallResult uninstall();

 private:
  std::filesystem::path file() const;
  std::filesystem::path cab_;
};

}  // namespace crestune
