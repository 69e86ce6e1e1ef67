#include "preview.h"

#include <png.h>

#include <algorithm>
#include <cstdint>

namespace icongen {

namespace {

constexpr int kGap = 8;
constexpr int kZoomedEdge = 120;  // enlarged images are about this wide

struct Sheet {
  int width, height;
  std::vector<uint32_t> rgba;  // R, G, B, A bytes in memory order
  void put(int x, int y, Pixel p) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    auto* d = reinterpret_cast<uint8_t*>(&rgba[static_cast<size_t>(y) * width + x]);
    double a = p.a / 255.0;
    d[0] = static_cast<uint8_t>(p.r * a + d[0] * (1 - a) + 0.5);
    d[1] = static_cast<uint8_t>(p.g * a + d[1] * (1 - a) + 0.5);
    d[2] = static_cast<uint8_t>(p.b * a + d[2] * (1 - a) + 0.5);
    d[3] = 255;
  }
  void box(int x, int y, int w, int h, Pixel p) {
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) put(x + i, y + j, p);
  }
};

int zoomOf(int size) { return std::max(1, kZoomedEdge / size); }

}  // namespace

bool writePreview(const std::filesystem::path& path, const std::vector<std::vector<IcoEntry>>& icons) {
  const Pixel backgrounds[] = {{255, 255, 255, 255}, {206, 222, 246, 255}, {40, 44, 52, 255}};
  // One row per icon; its images side by side.
  auto cellWidth = [](int s) { return 3 * (s + 2 * kGap) + kGap + s * zoomOf(s) + 2 * kGap; };
  auto cellHeight = [](int s) { return std::max(s + 2 * kGap, s * zoomOf(s)); };
  int width = 0, height = kGap;
  for (const auto& icon : icons) {
    int w = kGap, h = 0;
    for (const IcoEntry& e : icon) w += cellWidth(e.image.size), h = std::max(h, cellHeight(e.image.size));
    width = std::max(width, w);
    height += h + kGap;
  }
  Sheet sheet{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, 0xFFE8E8E8)};

  int y = kGap;
  for (const auto& icon : icons) {
    int x = kGap, rowHeight = 0;
    for (const IcoEntry& e : icon) {
      const Image& img = e.image;
      int s = img.size, zoom = zoomOf(s);
      int cx = x;
      for (const Pixel& bg : backgrounds) {
        sheet.box(cx, y, s + 2 * kGap, s + 2 * kGap, bg);
        for (int j = 0; j < s; ++j)
          for (int i = 0; i < s; ++i) sheet.put(cx + kGap + i, y + kGap + j, img.px[static_cast<size_t>(j) * s + i]);
        cx += s + 2 * kGap;
      }
      cx += kGap;
      for (int j = 0; j < s * zoom; ++j)
        for (int i = 0; i < s * zoom; ++i) {
          bool dark = ((i / 6) + (j / 6)) % 2;
          sheet.put(cx + i, y + j, dark ? Pixel{200, 200, 200, 255} : Pixel{250, 250, 250, 255});
          sheet.put(cx + i, y + j, img.px[static_cast<size_t>(j / zoom) * s + i / zoom]);
        }
      x += cellWidth(s);
      rowHeight = std::max(rowHeight, cellHeight(s));
    }
    y += rowHeight + kGap;
  }

  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(width);
  png.height = static_cast<png_uint_32>(height);
  png.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&png, path.c_str(), 0, sheet.rgba.data(), 0, nullptr) != 0;
}

}  // namespace icongen
