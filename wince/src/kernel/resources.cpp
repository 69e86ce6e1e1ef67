#include "kernel/resources.h"

#include "device/device.h"

namespace wince {

struct ResourceState::Impl {
  std::map<HICON, IconImage> icons;
  uintptr_t next = 0x30000000;
};

ResourceState::ResourceState() : impl_(std::make_unique<Impl>()) {}
ResourceState::~ResourceState() = default;

const IconImage* ResourceState::icon(HICON handle) const {
  auto it = impl_->icons.find(handle);
  return it == impl_->icons.end() ? nullptr : &it->second;
}

HICON ResourceState::addIcon(IconImage image) {
  HICON h = reinterpret_cast<HICON>(impl_->next);
  impl_->next += 4;
  impl_->icons.emplace(h, std::move(image));
  Device::current().accounting().acquire(ObjectKind::Icon);
  return h;
}

bool ResourceState::destroyIcon(HICON handle) {
  if (!impl_->icons.erase(handle)) return false;
  Device::current().accounting().release(ObjectKind::Icon);
  return true;
}

}  // namespace wince
