// Fuzzes the icon readers on raw resource data: the first byte says which
// (even: an RT_ICON image, BMP-format or PNG; odd: an RT_GROUP_ICON), the
// rest is the resource's bytes.
#include <cstdint>
#include <vector>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // Exactly the resource's bytes, so that a read past them is caught.
  const std::vector<unsigned char> bytes(data + 1, data + size);
  if (data[0] % 2 == 0) {
    if (auto image = wince::decodeIconImage(bytes.data(), bytes.size()))
      fuzz::checkIconImage(*image, "decodeIconImage");
  } else if (auto group = wince::parseGroupIcon(bytes.data(), bytes.size())) {
    fuzz::checkGroupIcon(*group, bytes.size());
  }
  return 0;
}
