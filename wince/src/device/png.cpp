#include "screenshot.h"

#include <png.h>

#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "device/atomic_file.h"
#include "device_error.h"

namespace wince {

namespace {

void writeRgb(int width, int height, const std::vector<uint8_t>& rgb, const std::filesystem::path& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  // Encoded once, into room for the largest PNG the image can make.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  std::vector<uint8_t> encoded(size);
  if (!png_image_write_to_memory(&image, encoded.data(), &size, 0, rgb.data(), 0, nullptr))
    throw DeviceError("cannot encode " + file.string() + ": " + image.message);

  try {
    writeFileAtomically(file, std::string_view(reinterpret_cast<const char*>(encoded.data()), size));
  } catch (const std::system_error& e) {
    throw DeviceError("cannot write " + file.string() + ": " + e.code().message());
  }
}

}  // namespace

void writePng(int width, int height, const uint32_t* pixels, const std::filesystem::path& file) {
  if (width <= 0 || height <= 0 || !pixels) throw DeviceError("cannot write " + file.string() + ": no pixels");
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
    rgb[i * 3] = static_cast<uint8_t>(pixels[i] >> 16);
    rgb[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    rgb[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
  }
  writeRgb(width, height, rgb, file);
}

void writePng(const Screen& screen, const std::filesystem::path& file, int scale) {
  if (scale < 1) scale = 1;
  if (screen.pixels.size() != static_cast<size_t>(screen.width) * screen.height)
    throw DeviceError("cannot write " + file.string() + ": the screen has no pixels");
  if (scale == 1) return writePng(screen.width, screen.height, screen.pixels.data(), file);
  const int w = screen.width * scale, h = screen.height * scale;
  std::vector<uint32_t> big(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) big[static_cast<size_t>(y) * w + x] = screen.at(x / scale, y / scale);
  writePng(w, h, big.data(), file);
}

}  // namespace wince
