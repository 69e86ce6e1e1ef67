// Stand-in only (its screen, set beside Wine's pictures).
// Pictures set side by side: the PPM files the Win32 host writes read back,
// a tolerant pixel-by-pixel comparison, and a picture of where two pictures
// differ.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace crestune::testing {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top to bottom
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A binary PPM (P6, maxval 255) as the Win32 test host writes it.
inline std::optional<Picture> readPpm(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string magic;
  int maxval = 0;
  Picture p;
  if (!(in >> magic >> p.width >> p.height >> maxval) || magic != "P6" || maxval != 255 || p.width <= 0 ||
      p.height <= 0)
    return std::nullopt;
  in.get();  // the one whitespace before the samples
  std::vector<unsigned char> rgb(static_cast<size_t>(p.width) * p.height * 3);
  if (!in.read(reinterpret_cast<char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()))) return std::nullopt;
  for (size_t i = 0; i < rgb.size(); i += 3) p.pixels.push_back(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
  return p;
}

// The largest difference of one colour channel between two pixels.
inline int channelDistance(uint32_t a, uint32_t b) {
  int d = 0;
  for (int shift : {0, 8, 16}) d = std::max(d, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
  return d;
}

// How two pictures of the same view agree over the area they share (the
// top-left corner of each). A pixel matches when the other picture has a
// pixel within `distance` on every channel at the same place or, for the
// one-pixel shifts of a glyph's edge, within `reach` pixels of it, both
// ways round: ink that one side drew and the other did not never matches.
struct Agreement {
  int width = 0, height = 0;
  int matching = 0;
  std::vector<bool> matches;  // per pixel of the shared area
  double share() const { return width > 0 && height > 0 ? static_cast<double>(matching) / (width * height) : 0; }
};

inline bool nearIn(const Picture& other, int x, int y, uint32_t colour, int distance, int reach, int width,
                   int height) {
  for (int dy = -reach; dy <= reach; ++dy)
    for (int dx = -reach; dx <= reach; ++dx) {
      int ox = x + dx, oy = y + dy;
      if (ox >= 0 && oy >= 0 && ox < width && oy < height && channelDistance(colour, other.at(ox, oy)) <= distance)
        return true;
    }
  return false;
}

inline Agreement agreement(const Picture& a, const Picture& b, int distance, int reach) {
  Agreement r;
  r.width = std::min(a.width, b.width);
  r.height = std::min(a.height, b.height);
  r.matches.resize(static_cast<size_t>(r.width) * r.height);
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) {
      bool same = nearIn(b, x, y, a.at(x, y), distance, reach, r.width, r.height) &&
                  nearIn(a, x, y, b.at(x, y), distance, reach, r.width, r.height);
      r.matches[static_cast<size_t>(y) * r.width + x] = same;
      r.matching += same;
    }
  return r;
}

// The shared area with matching pixels faded to a light grey of their own
// brightness and the others in red.
inline Picture differences(const Picture& a, const Agreement& r) {
  Picture d{r.width, r.height, {}};
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) {
      uint32_t c = a.at(x, y);
      int grey = 192 + (((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF)) / 3) / 4;
      d.pixels.push_back(r.matches[static_cast<size_t>(y) * r.width + x] ? (grey << 16 | grey << 8 | grey)
                                                                          : 0xFF0000u);
    }
  return d;
}

}  // namespace crestune::testing
