// Resources of loaded modules, and the icons made from them.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace wince {

// One icon image ready to draw: width x height pixels of 0xAARRGGBB,
// alpha 0 fully transparent, rows top to bottom.
struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;
};

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

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace wince
