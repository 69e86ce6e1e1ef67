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

// An icon image made ready to draw when it is loaded: its colours as the
// screen holds them, and for each row the runs of pixels that show, each
// wholly opaque (copied) or partly transparent (blended). Transparent
// pixels are in no run.
struct IconRun {
  int x;
  int length;
  bool opaque;
};
struct PreparedIcon {
  explicit PreparedIcon(IconImage image);
  IconImage image;
  std::vector<uint32_t> rgb;   // 0x00RRGGBB, row by row
  std::vector<IconRun> runs;   // row by row
  std::vector<uint32_t> rows;  // height + 1 entries: where each row's runs begin
};

class ResourceState {
 public:
  ResourceState();
  ~ResourceState();
  ResourceState(const ResourceState&) = delete;
  ResourceState& operator=(const ResourceState&) = delete;

  // The live icon a handle names, or null.
  const IconImage* icon(HICON handle) const;
  const PreparedIcon* prepared(HICON handle) const;
  HICON addIcon(IconImage image);
  // A new handle on an image already prepared (icons loaded again from the
  // same resource share one).
  HICON addIcon(std::shared_ptr<const PreparedIcon> icon);
  // The image LoadImageW made before for this group resource and size, or
  // null; kept until the module's resources are forgotten.
  std::shared_ptr<const PreparedIcon> loaded(const void* group, int cx, int cy) const;
  void keepLoaded(const ResourceDirectory* dir, const void* group, int cx, int cy,
                  std::shared_ptr<const PreparedIcon> icon);
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
