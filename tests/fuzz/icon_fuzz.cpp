// Fuzzes the icon readers on raw resource data: the first byte says which
// (even: an RT_ICON image, BMP-format or PNG; odd: an RT_GROUP_ICON), the
// rest is the resource's bytes.
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "icon_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // Exactly the resource's bytes, so that a read past them is caught.
  const std::vector<unsigned char> bytes(data + 1, data + size);
  if (data[0] % 2 == 0) {
    auto image = wince::decodeIconImage(bytes.data(), bytes.size());
    if (!image) return 0;
    FUZZ_CHECK(image->width > 0 && image->width <= 1024 && image->height > 0 && image->height <= 1024,
               "a decoded image has a size the device can hold");
    FUZZ_CHECK(image->argb.size() == static_cast<size_t>(image->width) * image->height,
               "a decoded image holds width x height pixels");
    return 0;
  }
  auto group = wince::parseGroupIcon(bytes.data(), bytes.size());
  if (!group) return 0;
  FUZZ_CHECK(6 + 14 * group->size() <= bytes.size(), "a group's entries lie inside its data");
  for (const wince::GroupIconEntry& e : *group)
    FUZZ_CHECK(e.width >= 1 && e.width <= 256 && e.height >= 1 && e.height <= 256, "an entry's size is 1 to 256");
  for (int cx : {0, 1, 16, 24, 32, 48, 256, 1000}) {
    for (int cy : {0, cx}) {
      const int chosen = wince::chooseGroupIconEntry(*group, cx, cy);
      FUZZ_CHECK(group->empty() ? chosen == -1 : chosen >= 0 && static_cast<size_t>(chosen) < group->size(),
                 "the chosen entry is one of the group's");
    }
  }
  return 0;
}
