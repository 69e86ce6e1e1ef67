#include "ico_writer.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <map>

namespace icongen {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

int stride(int width, int bits) { return (width * bits + 31) / 32 * 4; }

// BITMAPINFOHEADER of an icon image: the height counts the colour bits and
// the AND mask together.
void infoHeader(std::vector<uint8_t>& out, int size, int bits, uint32_t colours) {
  uint32_t imageBytes = static_cast<uint32_t>((stride(size, bits) + stride(size, 1)) * size);
  put32(out, 40);
  put32(out, size);
  put32(out, size * 2);
  put16(out, 1);     // planes
  put16(out, bits);
  put32(out, 0);     // BI_RGB
  put32(out, imageBytes);
  put32(out, 0);
  put32(out, 0);
  put32(out, colours);
  put32(out, 0);
}

// 1-bit mask, bottom-up: 1 where the screen shows through.
void andMask(std::vector<uint8_t>& out, const Image& img) {
  int s = stride(img.size, 1);
  for (int y = img.size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(s, 0);
    for (int x = 0; x < img.size; ++x)
      if (img.px[static_cast<size_t>(y) * img.size + x].a == 0) row[x / 8] |= 0x80 >> (x % 8);
    out.insert(out.end(), row.begin(), row.end());
  }
}

using Rgb = std::array<int, 3>;

struct Box {
  std::vector<std::pair<Rgb, int>> colours;  // colour and pixel count
  int widest = 0;                            // channel of the largest range
  int range = 0;
  void measure() {
    range = 0;
    for (int c = 0; c < 3; ++c) {
      int lo = 255, hi = 0;
      for (auto& [rgb, n] : colours) lo = std::min(lo, rgb[c]), hi = std::max(hi, rgb[c]);
      if (hi - lo > range) range = hi - lo, widest = c;
    }
  }
};

// Reduces an image to at most `colours` opaque colours by median cut; pixels
// under half opacity become fully transparent, the rest fully opaque.
// `palette` receives the colours and `indices` each pixel's palette index
// (-1 for a transparent pixel).
Image reducePalette(const Image& img, int colours, std::vector<Pixel>& palette, std::vector<int>& indices) {
  std::map<Rgb, int> histogram;
  for (const Pixel& p : img.px)
    if (p.a >= 128) ++histogram[{p.r, p.g, p.b}];

  std::vector<Box> boxes(1);
  for (auto& kv : histogram) boxes[0].colours.push_back(kv);
  boxes[0].measure();
  while (static_cast<int>(boxes.size()) < colours) {
    auto it = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.range < b.range; });
    if (it->range == 0 || it->colours.size() < 2) break;
    int c = it->widest;
    std::sort(it->colours.begin(), it->colours.end(), [c](auto& a, auto& b) { return a.first[c] < b.first[c]; });
    // Split where half of the box's pixels lie on each side.
    long total = 0, half = 0;
    for (auto& kv : it->colours) total += kv.second;
    size_t cut = 0;
    while (cut + 1 < it->colours.size() && (half += it->colours[cut].second) * 2 < total) ++cut;
    cut = std::max<size_t>(cut, 1);
    Box upper;
    upper.colours.assign(it->colours.begin() + cut, it->colours.end());
    it->colours.resize(cut);
    it->measure();
    upper.measure();
    boxes.push_back(std::move(upper));
  }

  palette.clear();
  for (const Box& b : boxes) {
    if (b.colours.empty()) continue;
    double r = 0, g = 0, bl = 0, n = 0;
    for (auto& [rgb, count] : b.colours) r += rgb[0] * count, g += rgb[1] * count, bl += rgb[2] * count, n += count;
    palette.push_back({static_cast<uint8_t>(r / n + 0.5), static_cast<uint8_t>(g / n + 0.5), static_cast<uint8_t>(bl / n + 0.5), 255});
  }

  Image out{img.size, std::vector<Pixel>(img.px.size())};
  indices.assign(img.px.size(), -1);
  for (size_t i = 0; i < img.px.size(); ++i) {
    const Pixel& p = img.px[i];
    if (p.a < 128) continue;
    int best = 0;
    long bestDistance = -1;
    for (size_t k = 0; k < palette.size(); ++k) {
      long dr = p.r - palette[k].r, dg = p.g - palette[k].g, db = p.b - palette[k].b;
      long d = dr * dr + dg * dg + db * db;
      if (bestDistance < 0 || d < bestDistance) bestDistance = d, best = static_cast<int>(k);
    }
    out.px[i] = palette[best];
    indices[i] = best;
  }
  return out;
}

}  // namespace

IcoEntry encode32(const Image& img) {
  IcoEntry e{img, 32, {}};
  infoHeader(e.bytes, img.size, 32, 0);
  for (int y = img.size - 1; y >= 0; --y) {
    for (int x = 0; x < img.size; ++x) {
      const Pixel& p = img.px[static_cast<size_t>(y) * img.size + x];
      if (p.a == 0) {
        put32(e.bytes, 0);
        continue;
      }
      e.bytes.insert(e.bytes.end(), {p.b, p.g, p.r, p.a});
    }
  }
  andMask(e.bytes, img);
  return e;
}

IcoEntry encode8(const Image& img) {
  // Without alpha the soft edge is lost; half-covered edge pixels are blended
  // onto white, the background of the device's dialogs, and kept.
  Image flat = img;
  for (Pixel& p : flat.px) {
    if (p.a < 80 || p.a == 255) continue;
    double a = p.a / 255.0;
    auto over = [a](uint8_t v) { return static_cast<uint8_t>(v * a + 255 * (1 - a) + 0.5); };
    p = {over(p.r), over(p.g), over(p.b), 255};
  }
  // Palette slot 0 is black and stands behind the transparent pixels; the
  // reduced colours follow it.
  std::vector<Pixel> pal;
  std::vector<int> indices;
  Image reduced = reducePalette(flat, 255, pal, indices);
  pal.insert(pal.begin(), Pixel{0, 0, 0, 255});
  IcoEntry e{reduced, 8, {}};
  infoHeader(e.bytes, img.size, 8, 256);
  for (int i = 0; i < 256; ++i) {
    Pixel p = i < static_cast<int>(pal.size()) ? pal[i] : Pixel{};
    e.bytes.insert(e.bytes.end(), {p.b, p.g, p.r, 0});
  }
  int s = stride(img.size, 8);
  for (int y = img.size - 1; y >= 0; --y) {
    std::vector<uint8_t> row(s, 0);
    for (int x = 0; x < img.size; ++x) {
      int index = indices[static_cast<size_t>(y) * img.size + x];
      if (index >= 0) row[x] = static_cast<uint8_t>(index + 1);
    }
    e.bytes.insert(e.bytes.end(), row.begin(), row.end());
  }
  andMask(e.bytes, reduced);
  return e;
}

std::vector<uint8_t> icoFile(const std::vector<IcoEntry>& entries) {
  std::vector<uint8_t> out;
  put16(out, 0);  // reserved
  put16(out, 1);  // icon
  put16(out, static_cast<uint32_t>(entries.size()));
  uint32_t offset = 6 + 16 * static_cast<uint32_t>(entries.size());
  for (const IcoEntry& e : entries) {
    int s = e.image.size;
    out.push_back(s >= 256 ? 0 : s);
    out.push_back(s >= 256 ? 0 : s);
    out.push_back(e.bitsPerPixel >= 8 ? 0 : 1 << e.bitsPerPixel);  // colour count, 0 for 256 or more
    out.push_back(0);
    put16(out, 1);
    put16(out, e.bitsPerPixel);
    put32(out, static_cast<uint32_t>(e.bytes.size()));
    put32(out, offset);
    offset += static_cast<uint32_t>(e.bytes.size());
  }
  for (const IcoEntry& e : entries) out.insert(out.end(), e.bytes.begin(), e.bytes.end());
  return out;
}

bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(f);
}

}  // namespace icongen
