// A PE image's resource tree (type -> name -> language -> data) written out
// as the .res file a resource compiler makes, which the platform's resource
// reader already reads.
#include <cstring>
#include <string>

#include "kernel/arm_image.h"
#include "resource_directory.h"

namespace wince {

namespace {

struct Tree {
  const unsigned char* image;
  uint32_t imageSize;
  uint32_t rva;
  uint32_t size;
  std::vector<unsigned char> out;
  bool ok = true;

  bool inside(uint32_t offset, uint32_t length) const { return offset <= size && length <= size - offset; }
  // A type or name as the .res header holds it: 0xFFFF + ordinal, or a
  // NUL-terminated string.
  void id(uint32_t entryName, std::vector<unsigned char>& h) {
    if (!(entryName & 0x80000000u)) {
      const uint16_t v[2] = {0xFFFF, static_cast<uint16_t>(entryName)};
      h.insert(h.end(), reinterpret_cast<const unsigned char*>(v), reinterpret_cast<const unsigned char*>(v) + 4);
      return;
    }
    const uint32_t at = entryName & 0x7FFFFFFFu;
    if (!inside(at, 2)) return void(ok = false);
    const uint16_t length = read16(image + rva + at);
    if (!inside(at + 2, length * 2u)) return void(ok = false);
    h.insert(h.end(), image + rva + at + 2, image + rva + at + 2 + length * 2u);
    h.push_back(0);
    h.push_back(0);
  }
  void pad(std::vector<unsigned char>& v) {
    while (v.size() % 4) v.push_back(0);
  }
  void put32(std::vector<unsigned char>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<unsigned char>(x >> (8 * i)));
  }
  void record(uint32_t type, uint32_t name, uint32_t language, uint32_t dataEntry) {
    if (!inside(dataEntry, 16)) return void(ok = false);
    const uint32_t dataRva = read32(image + rva + dataEntry);
    const uint32_t dataSize = read32(image + rva + dataEntry + 4);
    if (dataRva > imageSize || dataSize > imageSize - dataRva) return void(ok = false);
    std::vector<unsigned char> h;
    put32(h, dataSize);
    put32(h, 0);  // header size, below
    id(type, h);
    id(name, h);
    pad(h);
    put32(h, 0);                                          // DataVersion
    put32(h, 0x1030u | (static_cast<uint32_t>(language & 0xFFFF) << 16));  // MemoryFlags, LanguageId
    put32(h, 0);                                          // Version
    put32(h, 0);                                          // Characteristics
    const uint32_t headerSize = static_cast<uint32_t>(h.size());
    std::memcpy(h.data() + 4, &headerSize, 4);
    out.insert(out.end(), h.begin(), h.end());
    out.insert(out.end(), image + dataRva, image + dataRva + dataSize);
    pad(out);
  }
  // Calls f(entryName, entryTarget) for each entry of the directory at `at`.
  template <class F>
  void entries(uint32_t at, F f) {
    if (!inside(at, 16)) return void(ok = false);
    const uint32_t count = read16(image + rva + at + 12) + read16(image + rva + at + 14);
    if (!inside(at + 16, count * 8)) return void(ok = false);
    for (uint32_t i = 0; i < count && ok; ++i)
      f(read32(image + rva + at + 16 + 8 * i), read32(image + rva + at + 20 + 8 * i));
  }
};

}  // namespace

std::vector<unsigned char> resFromResourceTree(const unsigned char* image, uint32_t imageSize, uint32_t rva,
                                               uint32_t size) {
  if (rva > imageSize || size > imageSize - rva) return {};
  Tree t{image, imageSize, rva, size, {}};
  // The empty record that marks a 32-bit .res file.
  const unsigned char marker[32] = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
  t.out.assign(marker, marker + 32);
  constexpr uint32_t kSubdirectory = 0x80000000u;
  t.entries(0, [&](uint32_t type, uint32_t names) {
    if (!(names & kSubdirectory)) return void(t.ok = false);
    t.entries(names & ~kSubdirectory, [&](uint32_t name, uint32_t languages) {
      if (!(languages & kSubdirectory)) return void(t.ok = false);
      t.entries(languages & ~kSubdirectory, [&](uint32_t language, uint32_t data) {
        if (data & kSubdirectory) return void(t.ok = false);
        t.record(type, name, language, data);
      });
    });
  });
  if (!t.ok) return {};
  return std::move(t.out);
}

}  // namespace wince
