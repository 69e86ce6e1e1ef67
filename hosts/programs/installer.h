// The CAB installer: installs and removes a package described by a manifest,
// calling the package's setup library around each, in the platform's order.
#pragma once
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace crestune {

struct PackageManifest {
  struct File {
    std::string library;     // built library name ("crestitem.dll")
    std::u16string target;   // device path
  };
  struct Value {
    std::string key, name, type, data;
  };
  std::string name;
  std::u16string installFolder;
  std::string setupLibrary;
  std::vector<File> files;
  std::vector<Value> values;
  // Throws wince::DeviceError naming the line for a malformed manifest.
  static PackageManifest read(const std::filesystem::path& file);
  // The same from the manifest's text; `source` names it in errors.
  static PackageManifest parse(const std::string& text, const std::string& source);
  static std::filesystem::path defaultFile();
};

struct InstallResult {
  bool completed = false;    // the package is installed (or removed)
  bool cancelled = false;    // the setup library asked to stop
  bool refused = false;      // another install or removal was running: nothing was done
  std::string message;       // what the installer tells the user
};

class Installer {
 public:
  explicit Installer(PackageManifest manifest);
  bool installed() const;
  InstallResult install();
  InstallResult uninstall();

 private:
  std::u16string setupCopy() const;  // the device path the setup library is kept at
  HMODULE loadSetup();
  PackageManifest manifest_;
};

}  // namespace crestune
