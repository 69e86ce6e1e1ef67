// The device's registry: an in-memory tree of keys and typed values, kept in
// the device folder as a REGEDIT5 text file written atomically after each
// change.
#pragma once
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace wince {

class Accounting;

class RegistryStore {
 public:
  // file empty: kept in memory only. A damaged file throws DeviceError naming
  // the file and the line.
  RegistryStore(std::filesystem::path file, Accounting& accounting);
  ~RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // What a device has when it leaves the factory (the .wmv association...).
  void seedDefaults();
  // The whole registry as REGEDIT5 text, as it is written to the file.
  std::string exportText() const;

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace wince
