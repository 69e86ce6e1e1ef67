// The device's loader: libraries loaded with LoadLibraryW, their export
// tables and their embedded resources.
#pragma once
#include <windows.h>

#include "module_abi.h"

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace wince {

class ArmImage;  // kernel/arm_image.h

struct LoadedModule {
  HMODULE handle = nullptr;      // what LoadLibraryW answered
  void* dl = nullptr;            // the dlopen handle
  std::filesystem::path file;    // the host file that was loaded
  std::u16string name;           // file name as the device knows it ("crestitem.dll")
  int references = 0;
  const unsigned char* resourceData = nullptr;  // the bytes of the module's .res file
  size_t resourceSize = 0;
  const WinceExport* exports = nullptr;  // the table derived from the .def file
  const void* base = nullptr;            // load address, to tell product code apart
  std::shared_ptr<ArmImage> arm;         // a device library run on the emulated processor
};

class ModuleTable {
 public:
  ModuleTable() = default;
  ~ModuleTable();
  ModuleTable(const ModuleTable&) = delete;
  ModuleTable& operator=(const ModuleTable&) = delete;

  // The module a handle names, or null.
  const LoadedModule* find(HMODULE handle) const;
  // True when the code address lies in a library loaded through LoadLibraryW.
  bool isProductAddress(const void* address) const;

  HMODULE load(const std::u16string& name);
  BOOL free(HMODULE handle);
  FARPROC procAddress(HMODULE handle, const char* name, unsigned ordinal);
  // Why the latest load refused the file it found, in words; empty when it
  // loaded, or found nothing.
  const std::string& lastRefusal() const { return lastRefusal_; }

 private:
  // Detaches and unloads a module whatever its count. DllMain's lpReserved:
  // NULL when the library is freed, non-NULL when the process exits.
  void unload(HMODULE handle, void* reserved);
  // Unmaps the libraries kept mapped after their last FreeLibrary that
  // nothing can call any more.
  void closeUnused();
  HMODULE loadArm(const std::filesystem::path& file);
  static inline int processExitMark_ = 0;
  static constexpr void* kProcessExit = &processExitMark_;
  std::map<HMODULE, LoadedModule> modules_;  // handles grow, so in order of loading
  uintptr_t nextHandle_ = 0x10000000;
  // Libraries freed (detached, their handles gone) whose code a class, a
  // window or a timer still names: unmapping them would leave the window
  // manager calling into nothing, so they stay mapped until unused.
  struct Mapping {
    void* dl;
    const void* base;
  };
  std::vector<Mapping> stillMapped_;
  // The same for device libraries (ARM images): their guest memory stays
  // while a class, a window, a dialog or a timer holds one of their
  // procedures.
  std::vector<std::shared_ptr<ArmImage>> armStillMapped_;
  std::string lastRefusal_;
};

}  // namespace wince
