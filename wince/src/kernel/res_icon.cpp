#include "kernel/res_icon.h"

#include <png.h>

#include <cstdlib>
#include <cstring>
#include <tuple>

namespace wince {

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr uint32_t kBiRgb = 0;

std::optional<IconImage> decodePng(const unsigned char* data, size_t size) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, data, size)) return std::nullopt;
  if (png.width == 0 || png.height == 0 || png.width > 1024 || png.height > 1024) {
    png_image_free(&png);
    return std::nullopt;
  }
  // BGRA bytes are 0xAARRGGBB words on this little-endian host.
  png.format = PNG_FORMAT_BGRA;
  IconImage img;
  img.width = static_cast<int>(png.width);
  img.height = static_cast<int>(png.height);
  img.argb.resize(static_cast<size_t>(img.width) * img.height);
  if (!png_image_finish_read(&png, nullptr, img.argb.data(), 0, nullptr)) {
    png_image_free(&png);
    return std::nullopt;
  }
  return img;
}

std::optional<IconImage> decodeDib(const unsigned char* data, size_t size) {
  if (size < 40) return std::nullopt;
  const uint32_t headerSize = read32(data);
  const int32_t width = static_cast<int32_t>(read32(data + 4));
  const int32_t doubledHeight = static_cast<int32_t>(read32(data + 8));
  const int bits = read16(data + 14);
  const uint32_t compression = read32(data + 16);
  const uint32_t coloursUsed = read32(data + 32);
  if (headerSize < 40 || headerSize > size || compression != kBiRgb) return std::nullopt;
  // Icon images are bottom-up and count the AND mask in their height.
  if (width <= 0 || width > 1024 || doubledHeight <= 0 || doubledHeight > 2048) return std::nullopt;
  const int height = doubledHeight / 2;
  if (height == 0) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;

  size_t pos = headerSize;
  std::vector<uint32_t> palette;
  if (bits <= 8) {
    size_t n = coloursUsed ? coloursUsed : size_t{1} << bits;
    if (n > 256 || pos + 4 * n > size) return std::nullopt;
    for (size_t i = 0; i < n; ++i, pos += 4)
      palette.push_back(0xFF000000u | data[pos + 2] << 16 | data[pos + 1] << 8 | data[pos]);
  }

  const size_t colourStride = (static_cast<size_t>(width) * bits + 31) / 32 * 4;
  const size_t maskStride = (static_cast<size_t>(width) + 31) / 32 * 4;
  const unsigned char* colour = data + pos;
  if (pos + colourStride * height > size) return std::nullopt;
  pos += colourStride * height;
  // The AND mask may be missing in a damaged or minimal image: then every
  // pixel counts as opaque.
  const unsigned char* mask = pos + maskStride * height <= size ? data + pos : nullptr;

  IconImage img;
  img.width = width;
  img.height = height;
  img.argb.resize(static_cast<size_t>(width) * height);
  bool anyAlpha = false;
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = colour + colourStride * (height - 1 - y);
    uint32_t* out = &img.argb[static_cast<size_t>(y) * width];
    for (int x = 0; x < width; ++x) {
      uint32_t px = 0;
      switch (bits) {
        case 1: px = (row[x / 8] >> (7 - x % 8)) & 1; break;
        case 4: px = (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF; break;
        case 8: px = row[x]; break;
        case 16: {
          uint16_t v = read16(row + 2 * x);  // 5-5-5
          auto widen5 = [](uint32_t c) { return (c << 3) | (c >> 2); };
          px = 0xFF000000u | widen5((v >> 10) & 31) << 16 | widen5((v >> 5) & 31) << 8 | widen5(v & 31);
          break;
        }
        case 24: px = 0xFF000000u | row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x]; break;
        case 32:
          px = read32(row + 4 * x);
          if (px >> 24) anyAlpha = true;
          break;
      }
      if (bits <= 8) px = px < palette.size() ? palette[px] : 0xFF000000u;
      out[x] = px;
    }
  }

  if (bits == 32 && anyAlpha) return img;
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = mask ? mask + maskStride * (height - 1 - y) : nullptr;
    uint32_t* out = &img.argb[static_cast<size_t>(y) * width];
    for (int x = 0; x < width; ++x) {
      bool transparent = row && ((row[x / 8] >> (7 - x % 8)) & 1);
      out[x] = transparent ? 0 : (out[x] | 0xFF000000u);
    }
  }
  return img;
}

}  // namespace

std::optional<std::vector<GroupIconEntry>> parseGroupIcon(const unsigned char* data, size_t size) {
  if (size < 6 || read16(data) != 0 || read16(data + 2) != 1) return std::nullopt;
  const size_t count = read16(data + 4);
  if (6 + 14 * count > size) return std::nullopt;
  std::vector<GroupIconEntry> entries;
  for (size_t i = 0; i < count; ++i) {
    const unsigned char* p = data + 6 + 14 * i;
    GroupIconEntry e;
    e.width = p[0] ? p[0] : 256;
    e.height = p[1] ? p[1] : 256;
    e.colourCount = p[2];
    e.planes = read16(p + 4);
    e.bitCount = read16(p + 6);
    e.bytes = read32(p + 8);
    e.iconId = read16(p + 12);
    entries.push_back(e);
  }
  return entries;
}

int chooseGroupIconEntry(const std::vector<GroupIconEntry>& entries, int cx, int cy) {
  if (entries.empty()) return -1;
  if (cx <= 0 && cy <= 0) return 0;
  int best = -1;
  std::tuple<int, int, int> bestKey;  // distance, -area, -bits: smaller is better
  for (size_t i = 0; i < entries.size(); ++i) {
    const GroupIconEntry& e = entries[i];
    int distance = (cx > 0 ? std::abs(e.width - cx) : 0) + (cy > 0 ? std::abs(e.height - cy) : 0);
    std::tuple<int, int, int> key{distance, -e.width * e.height, -e.bitCount};
    if (best < 0 || key < bestKey) best = static_cast<int>(i), bestKey = key;
  }
  return best;
}

std::optional<IconImage> decodeIconImage(const unsigned char* data, size_t size) {
  if (size >= sizeof kPngSignature && std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0)
    return decodePng(data, size);
  return decodeDib(data, size);
}

IconImage scaleNearest(const IconImage& src, int width, int height) {
  IconImage out;
  out.width = width;
  out.height = height;
  out.argb.resize(static_cast<size_t>(width) * height);
  if (src.width <= 0 || src.height <= 0) return out;
  for (int y = 0; y < height; ++y) {
    const size_t sy = static_cast<size_t>(y) * src.height / height;
    for (int x = 0; x < width; ++x) {
      const size_t sx = static_cast<size_t>(x) * src.width / width;
      out.argb[static_cast<size_t>(y) * width + x] = src.argb[sy * src.width + sx];
    }
  }
  return out;
}

std::optional<IconImage> loadIconImage(const ResourceDirectory& dir, const ResourceId& name, int cx, int cy,
                                       IconLoadError* error) {
  auto fail = [&](IconLoadError e) {
    if (error) *error = e;
    return std::nullopt;
  };
  if (error) *error = IconLoadError::None;
  const ResourceEntry* group = dir.find(ResourceId(14), name);  // RT_GROUP_ICON
  if (!group) return fail(dir.hasType(ResourceId(14)) ? IconLoadError::NameNotFound : IconLoadError::TypeNotFound);
  auto entries = parseGroupIcon(group->data, group->size);
  if (!entries) return fail(IconLoadError::BadData);
  int index = chooseGroupIconEntry(*entries, cx, cy);
  if (index < 0) return fail(IconLoadError::BadData);
  const ResourceEntry* icon = dir.find(ResourceId(3), ResourceId((*entries)[index].iconId));  // RT_ICON
  if (!icon) return fail(IconLoadError::BadData);
  auto image = decodeIconImage(icon->data, icon->size);
  if (!image) return fail(IconLoadError::BadData);
  const int width = cx > 0 ? cx : image->width;
  const int height = cy > 0 ? cy : image->height;
  if (width != image->width || height != image->height) return scaleNearest(*image, width, height);
  return image;
}

}  // namespace wince
