// Icons as the device reads them: an RT_GROUP_ICON lists the images of one
// icon (size, colour depth, the RT_ICON ordinal holding it); each RT_ICON is
// a BMP-format image (BITMAPINFOHEADER with doubled height, palette, colour
// bits, 1-bit AND mask) or a PNG file. Hosts, tests and fuzzers read icon
// data with the same code the loader uses.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace wince {

// One icon image ready to draw: width x height pixels of 0xAARRGGBB,
// alpha 0 fully transparent, rows top to bottom. Colour is not
// premultiplied by alpha.
struct IconImage {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;
};

// One GRPICONDIRENTRY.
struct GroupIconEntry {
  int width = 0;   // 256 when stored as 0
  int height = 0;
  int colourCount = 0;
  int planes = 0;
  int bitCount = 0;
  uint32_t bytes = 0;
  uint16_t iconId = 0;  // ordinal of the RT_ICON resource
};

// The entries of an RT_GROUP_ICON; nullopt when the data is not one.
std::optional<std::vector<GroupIconEntry>> parseGroupIcon(const unsigned char* data, size_t size);

// The entry to load for a cx x cy request. Both 0: the first entry. One 0:
// that dimension is not compared. Otherwise an exact size wins, then the
// closest size (ties to the larger image); among equal sizes the deeper
// colour. -1 for an empty list.
int chooseGroupIconEntry(const std::vector<GroupIconEntry>& entries, int cx, int cy);

// Decodes one RT_ICON image (BMP-format of 1, 4, 8, 16, 24 or 32 bits per
// pixel, or PNG). 32-bit images keep their alpha, unless every alpha is 0,
// when the AND mask decides as for the others: mask bit set -> alpha 0,
// clear -> 255. nullopt for data that is neither or is cut short.
std::optional<IconImage> decodeIconImage(const unsigned char* data, size_t size);

}  // namespace wince
