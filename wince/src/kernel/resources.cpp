// Resource functions of the platform: FindResourceW, LoadResource,
// LockResource, SizeofResource, LoadImageW, LoadIconW, DestroyIcon. An HRSRC
// is the address of the ResourceEntry in the module's parsed directory; an
// HGLOBAL from LoadResource is the address of the resource's bytes, so
// LockResource hands it back unchanged.
#include "kernel/resources.h"

#include <iterator>
#include <tuple>

#include "device.h"
#include "device/trace.h"
#include "kernel/modules.h"
#include "resource_directory.h"
#include "kernel/res_icon.h"

namespace wince {

namespace {
// The size Pocket PC gives SM_CXICON and SM_CYICON.
constexpr int kSystemIconSize = 32;
constexpr UINT kLrDefaultSize = 0x0040;
constexpr DWORD kErrorInvalidIconHandle = 1402;  // ERROR_INVALID_ICON_HANDLE
constexpr DWORD kErrorInvalidData = 13;          // ERROR_INVALID_DATA
}  // namespace

PreparedIcon::PreparedIcon(IconImage img) : image(std::move(img)) {
  const size_t count = static_cast<size_t>(image.width) * image.height;
  rgb.resize(count);
  for (size_t i = 0; i < count && i < image.argb.size(); ++i) rgb[i] = image.argb[i] & 0x00FFFFFF;
  rows.reserve(static_cast<size_t>(image.height) + 1);
  for (int y = 0; y < image.height; ++y) {
    rows.push_back(static_cast<uint32_t>(runs.size()));
    const uint32_t* row = image.argb.data() + static_cast<size_t>(y) * image.width;
    for (int x = 0; x < image.width;) {
      const uint32_t alpha = row[x] >> 24;
      if (alpha == 0) {
        ++x;
        continue;
      }
      const bool opaque = alpha == 255;
      int end = x + 1;
      while (end < image.width && (row[end] >> 24) != 0 && ((row[end] >> 24) == 255) == opaque) ++end;
      runs.push_back(IconRun{x, end - x, opaque});
      x = end;
    }
  }
  rows.push_back(static_cast<uint32_t>(runs.size()));
}

struct ResourceState::Impl {
  std::map<HICON, std::shared_ptr<const PreparedIcon>> icons;
  struct Loaded {
    const ResourceDirectory* dir;
    std::shared_ptr<const PreparedIcon> icon;
  };
  std::map<std::tuple<const void*, int, int>, Loaded> loaded;  // by group entry and size
  uintptr_t next = 0x30000000;
  struct Builtin {
    const unsigned char* data;
    size_t size;
  };
  std::map<HMODULE, Builtin> builtins;
  struct Parsed {
    size_t size;
    std::unique_ptr<ResourceDirectory> dir;
  };
  std::map<const unsigned char*, Parsed> parsed;  // by the first byte of the .res image

  const ResourceDirectory* parse(const unsigned char* data, size_t size) {
    if (!data || !size) return nullptr;
    auto it = parsed.find(data);
    if (it != parsed.end() && it->second.size != size) forgetLoaded(it->second.dir.get());
    if (it == parsed.end() || it->second.size != size)
      it = parsed.insert_or_assign(data, Parsed{size, std::make_unique<ResourceDirectory>(data, size)}).first;
    return it->second.dir.get();
  }
  // Drops the icons loaded from a directory that is about to go.
  void forgetLoaded(const ResourceDirectory* dir) {
    for (auto l = loaded.begin(); l != loaded.end();) l = l->second.dir == dir ? loaded.erase(l) : std::next(l);
  }
};

ResourceState::ResourceState() : impl_(std::make_unique<Impl>()) {}
ResourceState::~ResourceState() = default;

const IconImage* ResourceState::icon(HICON handle) const {
  const PreparedIcon* p = prepared(handle);
  return p ? &p->image : nullptr;
}

const PreparedIcon* ResourceState::prepared(HICON handle) const {
  auto it = impl_->icons.find(handle);
  return it == impl_->icons.end() ? nullptr : it->second.get();
}

HICON ResourceState::addIcon(IconImage image) { return addIcon(std::make_shared<PreparedIcon>(std::move(image))); }

HICON ResourceState::addIcon(std::shared_ptr<const PreparedIcon> icon) {
  HICON h = reinterpret_cast<HICON>(impl_->next);
  impl_->next += 4;
  impl_->icons.emplace(h, std::move(icon));
  Device::current().accounting().acquire(ObjectKind::Icon);
  return h;
}

std::shared_ptr<const PreparedIcon> ResourceState::loaded(const void* group, int cx, int cy) const {
  auto it = impl_->loaded.find({group, cx, cy});
  return it == impl_->loaded.end() ? nullptr : it->second.icon;
}

void ResourceState::keepLoaded(const ResourceDirectory* dir, const void* group, int cx, int cy,
                               std::shared_ptr<const PreparedIcon> icon) {
  impl_->loaded[{group, cx, cy}] = Impl::Loaded{dir, std::move(icon)};
}

bool ResourceState::destroyIcon(HICON handle) {
  if (!impl_->icons.erase(handle)) return false;
  Device::current().accounting().release(ObjectKind::Icon);
  return true;
}

const ResourceDirectory* ResourceState::directory(HMODULE module) {
  if (auto it = impl_->builtins.find(module); it != impl_->builtins.end())
    return impl_->parse(it->second.data, it->second.size);
  const LoadedModule* m = Device::current().modules().find(module);
  return m ? impl_->parse(m->resourceData, m->resourceSize) : nullptr;
}

void ResourceState::addBuiltinModule(HMODULE handle, const unsigned char* data, size_t size) {
  impl_->builtins[handle] = {data, size};
}

void ResourceState::removeBuiltinModule(HMODULE handle) {
  auto it = impl_->builtins.find(handle);
  if (it == impl_->builtins.end()) return;
  forgetResources(it->second.data);
  impl_->builtins.erase(it);
}

void ResourceState::forgetResources(const unsigned char* data) {
  auto it = impl_->parsed.find(data);
  if (it == impl_->parsed.end()) return;
  // Icons loaded from these resources go with them; handles still live
  // keep their images.
  impl_->forgetLoaded(it->second.dir.get());
  impl_->parsed.erase(it);
}

const ResourceDirectory* ResourceState::directoryOwning(const void* entry) const {
  if (!entry) return nullptr;
  for (auto& [data, p] : impl_->parsed)
    if (p.dir->owns(entry)) return p.dir.get();
  return nullptr;
}

}  // namespace wince

using wince::Device;

namespace {

// The directory and entry an HRSRC names, checked against the module when
// one is given.
const wince::ResourceEntry* entryOf(HMODULE module, HRSRC info) {
  auto& res = Device::current().resources();
  const wince::ResourceDirectory* owner = res.directoryOwning(info);
  if (!owner) return nullptr;
  if (module && res.directory(module) != owner) return nullptr;
  return reinterpret_cast<const wince::ResourceEntry*>(info);
}

HICON loadIcon(HINSTANCE module, LPCWSTR name, int cx, int cy) {
  Device& dev = Device::current();
  if (!name) {
    dev.lastError() = ERROR_INVALID_PARAMETER;
    return nullptr;
  }
  const wince::ResourceDirectory* dir = dev.resources().directory(module);
  if (!dir) {
    dev.lastError() = ERROR_RESOURCE_DATA_NOT_FOUND;
    return nullptr;
  }
  // The same group at the same size gives the same image: decoded and
  // prepared once, shared by every handle loaded on it.
  const wince::ResourceId id = wince::ResourceId::fromArgument(name);
  const wince::ResourceEntry* group = dir->find(wince::ResourceId(14), id);  // RT_GROUP_ICON
  if (group) {
    if (auto ready = dev.resources().loaded(group, cx, cy)) return dev.resources().addIcon(std::move(ready));
  }
  wince::IconLoadError error;
  auto image = wince::loadIconImage(*dir, id, cx, cy, &error);
  if (!image) {
    switch (error) {
      case wince::IconLoadError::TypeNotFound: dev.lastError() = ERROR_RESOURCE_TYPE_NOT_FOUND; break;
      case wince::IconLoadError::NameNotFound: dev.lastError() = ERROR_RESOURCE_NAME_NOT_FOUND; break;
      default: dev.lastError() = wince::kErrorInvalidData; break;
    }
    return nullptr;
  }
  auto ready = std::make_shared<const wince::PreparedIcon>(std::move(*image));
  if (group) dev.resources().keepLoaded(dir, group, cx, cy, ready);
  return dev.resources().addIcon(std::move(ready));
}

}  // namespace

HRSRC WINAPI FindResourceW(HMODULE hModule, LPCWSTR lpName, LPCWSTR lpType) {
  WINCE_TRACE("FindResourceW");
  wince_trace_.args(hModule, lpName, lpType);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, HRSRC{});
  Device& dev = Device::current();
  if (!lpName || !lpType) {
    dev.lastError() = ERROR_INVALID_PARAMETER;
    return wince_trace_.result(HRSRC{});
  }
  const wince::ResourceDirectory* dir = dev.resources().directory(hModule);
  if (!dir) {
    dev.lastError() = ERROR_RESOURCE_DATA_NOT_FOUND;
    return wince_trace_.result(HRSRC{});
  }
  const auto type = wince::ResourceId::fromArgument(lpType);
  const wince::ResourceEntry* e = dir->find(type, wince::ResourceId::fromArgument(lpName));
  if (!e) {
    dev.lastError() = dir->hasType(type) ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND;
    return wince_trace_.result(HRSRC{});
  }
  return wince_trace_.result(reinterpret_cast<HRSRC>(const_cast<wince::ResourceEntry*>(e)));
}

HGLOBAL WINAPI LoadResource(HMODULE hModule, HRSRC hResInfo) {
  WINCE_TRACE("LoadResource");
  wince_trace_.args(hModule, hResInfo);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, HGLOBAL{});
  const wince::ResourceEntry* e = entryOf(hModule, hResInfo);
  if (!e) {
    Device::current().lastError() = ERROR_INVALID_HANDLE;
    return wince_trace_.result(HGLOBAL{});
  }
  return wince_trace_.result(static_cast<HGLOBAL>(const_cast<unsigned char*>(e->data)));
}

LPVOID WINAPI LockResource(HGLOBAL hResData) {
  WINCE_TRACE("LockResource");
  wince_trace_.args(hResData);
  return wince_trace_.result(static_cast<LPVOID>(hResData));
}

DWORD WINAPI SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  WINCE_TRACE("SizeofResource");
  wince_trace_.args(hModule, hResInfo);
  const wince::ResourceEntry* e = entryOf(hModule, hResInfo);
  if (!e) {
    Device::current().lastError() = ERROR_INVALID_HANDLE;
    return wince_trace_.result(DWORD{0});
  }
  return wince_trace_.result(DWORD{e->size});
}

HANDLE WINAPI LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad) {
  WINCE_TRACE("LoadImageW");
  wince_trace_.args(hInst, name, type, cx, cy, fuLoad);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, HANDLE{});
  if (type != IMAGE_ICON) {
    // Bitmaps and cursors are not kept by this device.
    Device::current().lastError() = ERROR_INVALID_PARAMETER;
    return wince_trace_.result(HANDLE{});
  }
  if (fuLoad & wince::kLrDefaultSize) {
    if (cx == 0) cx = wince::kSystemIconSize;
    if (cy == 0) cy = wince::kSystemIconSize;
  }
  return wince_trace_.result(static_cast<HANDLE>(loadIcon(hInst, name, cx, cy)));
}

HICON WINAPI LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName) {
  WINCE_TRACE("LoadIconW");
  wince_trace_.args(hInstance, lpIconName);
  return wince_trace_.result(loadIcon(hInstance, lpIconName, wince::kSystemIconSize, wince::kSystemIconSize));
}

BOOL WINAPI DestroyIcon(HICON hIcon) {
  WINCE_TRACE("DestroyIcon");
  wince_trace_.args(hIcon);
  if (!Device::current().resources().destroyIcon(hIcon)) {
    Device::current().lastError() = wince::kErrorInvalidIconHandle;
    return wince_trace_.result(BOOL{FALSE});
  }
  return wince_trace_.result(BOOL{TRUE});
}
