// Resources of loaded modules, and the icons made from them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "icon_image.h"

namespace wince {

class ResourceDirectory;  // resource_directory.h

class ResourceState {
 public:
  ResourceState();
  ~ResourceState();
  ResourceState(const ResourceState&) = delete;
  ResourceState& operator=(const ResourceState&) = delete;

  // The live icon a handle names, or null.
  const IconImage* icon(HICON handle) const;
  HICON addIcon(IconImage image);
  bool destroyIcon(HICON handle);

  // The resources of a module: one the device provides itself (below), or
  // one loaded through LoadLibraryW (its LoadedModule::resourceData). Parsed
  // once and kept. Null for an unknown handle or a module without resources.
  const ResourceDirectory* directory(HMODULE module);
  // A module whose resources the device provides without loading a library:
  // the stand-in's own programs, and tests. `data` must outlive the entry.
  void addBuiltinModule(HMODULE handle, const unsigned char* data, size_t size);
  void removeBuiltinModule(HMODULE handle);
  // Drops the parse of these resource bytes; the loader calls it before it
  // unloads the library that holds them.
  void forgetResources(const unsigned char* data);
  // The directory holding an entry handed out as an HRSRC, or null.
  const ResourceDirectory* directoryOwning(const void* entry) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace wince
