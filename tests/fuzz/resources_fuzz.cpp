// Fuzzes the reading of compiled resources (.res images): the directory of
// records, then each group icon and icon image in it, read directly and
// through the platform calls a library makes on its own module.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "device.h"
#include "fuzz_support.h"
#include "resource_directory.h"

namespace {

constexpr uint16_t kRtIcon = 3;
constexpr uint16_t kRtGroupIcon = 14;
const HMODULE kModule = reinterpret_cast<HMODULE>(0x5A000);

wince::Device& device() {
  static wince::Device d{wince::DeviceOptions{}};
  return d;
}

// What a library does with its own resources: find each one, and load each
// group icon at the sizes the product asks for.
void throughTheApi(const wince::ResourceDirectory& dir) {
  wince::Device& d = device();
  for (const wince::ResourceEntry& e : dir.entries()) {
    LPCWSTR type = e.type.isOrdinal() ? MAKEINTRESOURCEW(e.type.ordinal) : reinterpret_cast<LPCWSTR>(e.type.name.c_str());
    LPCWSTR name = e.name.isOrdinal() ? MAKEINTRESOURCEW(e.name.ordinal) : reinterpret_cast<LPCWSTR>(e.name.name.c_str());
    // A string name of the form "#12" means the ordinal 12 to the platform,
    // and the ordinal 0 cannot be asked for (it is a null pointer).
    auto askable = [](const wince::ResourceId& id) { return id.isOrdinal() ? id.ordinal != 0 : id.name[0] != u'#'; };
    if (!askable(e.type) || !askable(e.name)) continue;
    HRSRC found = FindResourceW(kModule, name, type);
    FUZZ_CHECK(found, "every listed resource is found: " + e.type.describe() + " " + e.name.describe());
    const DWORD size = SizeofResource(kModule, found);
    const void* bytes = LockResource(LoadResource(kModule, found));
    const wince::ResourceEntry* first = dir.find(e.type, e.name);
    FUZZ_CHECK(size == first->size && bytes == first->data, "a resource's bytes are the first of its type and name");
    if (e.type.isOrdinal() && e.type.ordinal == kRtGroupIcon) {
      static const int sizes[][2] = {{0, 0}, {16, 16}, {24, 24}, {32, 32}, {32, 0}};
      for (const auto& s : sizes) {
        HANDLE icon = LoadImageW(kModule, name, IMAGE_ICON, s[0], s[1], 0);
        if (!icon) continue;
        const wince::IconImage* image = d.iconImage(static_cast<HICON>(icon));
        FUZZ_CHECK(image, "a loaded icon has an image");
        fuzz::checkIconImage(*image, "LoadImageW");
        FUZZ_CHECK((!s[0] || image->width == s[0]) && (!s[1] || image->height == s[1]),
                   "an icon is loaded at the size asked");
        FUZZ_CHECK(DestroyIcon(static_cast<HICON>(icon)), "a loaded icon can be destroyed");
      }
    }
  }
  FUZZ_CHECK(d.accounting().live(wince::ObjectKind::Icon) == 0, "every icon loaded was destroyed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The loader keeps resources DWORD-aligned, as they are in a module.
  std::vector<unsigned char> bytes(data, data + size);
  const wince::ResourceDirectory dir(bytes.data(), bytes.size());
  for (const wince::ResourceEntry& e : dir.entries()) {
    FUZZ_CHECK(e.data >= bytes.data() && e.size <= static_cast<size_t>(bytes.data() + bytes.size() - e.data),
               "a resource's data lies inside the image");
    FUZZ_CHECK(dir.owns(&e), "the directory owns its entries");
    FUZZ_CHECK(!(e.type.isOrdinal() && e.type.ordinal == 0 && e.name.isOrdinal() && e.name.ordinal == 0),
               "the empty marker record is not listed");
    if (e.type.isOrdinal() && e.type.ordinal == kRtGroupIcon)
      if (auto group = wince::parseGroupIcon(e.data, e.size)) fuzz::checkGroupIcon(*group, e.size);
    if (e.type.isOrdinal() && e.type.ordinal == kRtIcon)
      if (auto image = wince::decodeIconImage(e.data, e.size)) fuzz::checkIconImage(*image, "decodeIconImage");
  }
  device().addResourceModule(kModule, bytes.data(), bytes.size());
  throughTheApi(dir);
  device().removeResourceModule(kModule);
  return 0;
}
