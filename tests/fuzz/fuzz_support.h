// What the fuzz targets share: a check that stops the run with its reason,
// the fuzzer's bytes read as a row of registry values, and what the icon
// readers promise of whatever they accept.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "icon_image.h"
#include "registry_store.h"

// A broken promise of the code under test: libFuzzer keeps the input that
// made it.
#define FUZZ_CHECK(condition, what)                                                      \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, std::string(what).c_str()); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace fuzz {

// The fuzzer's bytes as registry values, one record each:
//
//   flags   bit 7: no value (nothing more is read for it)
//           bit 6: the data bytes are 8-bit characters, each stored as one
//                  UTF-16LE unit (so that text is easy to reach)
//           bit 5: a UTF-16 terminator follows the data
//           bits 0-3: the value's type (REG_NONE 0, REG_SZ 1, REG_BINARY 3,
//                  REG_DWORD 4, REG_MULTI_SZ 7, ...)
//   length  2 bytes, little-endian, at most kMaxData (larger wraps)
//   data    `length` bytes, fewer when the input ends first
//
// An input that ends early gives no value for the records it lacks.
class ValueRecords {
 public:
  static constexpr size_t kMaxData = 4200;  // past every buffer the product reads into

  ValueRecords(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  std::optional<wince::RegistryStore::Value> next() {
    if (pos_ >= size_) return std::nullopt;
    const uint8_t flags = data_[pos_++];
    if (flags & 0x80) return std::nullopt;
    size_t length = byte() | byte() << 8;
    length %= kMaxData + 1;
    wince::RegistryStore::Value v;
    v.type = flags & 0x0F;
    for (size_t i = 0; i < length && pos_ < size_; ++i) {
      v.bytes.push_back(data_[pos_++]);
      if (flags & 0x40) v.bytes.push_back(0);
    }
    if (flags & 0x20) v.bytes.insert(v.bytes.end(), {0, 0});
    return v;
  }

 private:
  size_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The UTF-16 units of value bytes as a reader with a zeroed buffer sees
// them: an odd last byte is the low half of a unit whose high half is zero.
inline std::u16string unitsOf(const std::vector<uint8_t>& bytes) {
  std::u16string units;
  for (size_t i = 0; i < bytes.size(); i += 2)
    units += static_cast<char16_t>(bytes[i] | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0));
  return units;
}

// The text a terminated read of those units gives: up to the first
// terminator, and no more than `maxUnits`.
inline std::u16string textOf(const std::u16string& units, size_t maxUnits) {
  std::u16string text = units.substr(0, units.find(u'\0'));
  return text.substr(0, maxUnits);
}

// An image the icon readers decoded: a size the device can hold, and a pixel
// for each place of it. `how` names the reader.
inline void checkIconImage(const wince::IconImage& image, const std::string& how) {
  FUZZ_CHECK(image.width > 0 && image.width <= 1024 && image.height > 0 && image.height <= 1024,
             how + ": a decoded image has a size the device can hold");
  FUZZ_CHECK(image.argb.size() == static_cast<size_t>(image.width) * image.height,
             how + ": a decoded image holds width x height pixels");
}

// A group icon read from `size` bytes: its entries lie inside them, each
// 1 to 256 pixels, and the entry chosen for any size asked is one of them.
inline void checkGroupIcon(const std::vector<wince::GroupIconEntry>& group, size_t size) {
  FUZZ_CHECK(6 + 14 * group.size() <= size, "a group's entries lie inside its data");
  for (const wince::GroupIconEntry& e : group)
    FUZZ_CHECK(e.width >= 1 && e.width <= 256 && e.height >= 1 && e.height <= 256, "an entry's size is 1 to 256");
  for (int cx : {0, 1, 16, 24, 32, 48, 256, 1000}) {
    for (int cy : {0, cx}) {
      const int chosen = wince::chooseGroupIconEntry(group, cx, cy);
      FUZZ_CHECK(group.empty() ? chosen == -1 : chosen >= 0 && static_cast<size_t>(chosen) < group.size(),
                 "the chosen entry is one of the group's");
    }
  }
}

}  // namespace fuzz
