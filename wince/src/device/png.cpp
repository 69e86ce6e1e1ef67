// PNG pictures of the screen, written to files and kept in memory.
#include <png.h>

#include <csetjmp>
#include <string>
#include <string_view>
#include <vector>

#include "output_file.h"
#include "screenshot.h"

namespace wince {

namespace {

std::vector<uint8_t> rgbOf(const uint32_t* pixels, size_t count) {
  std::vector<uint8_t> rgb(count * 3);
  for (size_t i = 0; i < count; ++i) {
    rgb[i * 3] = static_cast<uint8_t>(pixels[i] >> 16);
    rgb[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
    rgb[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
  }
  return rgb;
}

}  // namespace

std::string encodePng(int width, int height, const uint32_t* pixels) {
  if (width <= 0 || height <= 0 || !pixels) throw DeviceError("cannot encode a PNG: no pixels");
  const std::vector<uint8_t> rgb = rgbOf(pixels, static_cast<size_t>(width) * height);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  // Encoded once, into room for the largest PNG the image can make.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  std::vector<uint8_t> room(size);
  if (!png_image_write_to_memory(&image, room.data(), &size, 0, rgb.data(), 0, nullptr))
    throw DeviceError(std::string("cannot encode a PNG: ") + image.message);
  // A copy of its own size: the room is many times the PNG, and a step
  // keeps its PNG for the rest of the run.
  return std::string(reinterpret_cast<const char*>(room.data()), size);
}

std::vector<uint32_t> decodePng(std::string_view png, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size()))
    throw DeviceError(std::string("cannot read a PNG: ") + image.message);
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    throw DeviceError(std::string("cannot read a PNG: ") + image.message);
  }
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint32_t>(rgb[i * 3]) << 16 | static_cast<uint32_t>(rgb[i * 3 + 1]) << 8 | rgb[i * 3 + 2];
  return pixels;
}

void writePng(int width, int height, const uint32_t* pixels, const std::filesystem::path& file) {
  if (width <= 0 || height <= 0 || !pixels) throw DeviceError("cannot write " + file.string() + ": no pixels");
  writeFileAtomically(file, encodePng(width, height, pixels));
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

// libpng reports an error by a long jump back to the call that set it up;
// each call into it below sets one, and holds nothing that needs undoing
// across it.
struct PngRowWriter::Impl {
  png_structp png = nullptr;
  png_infop info = nullptr;
  int width = 0, height = 0, written = 0;
  std::string out;
  std::vector<uint8_t> row;
  std::string error;  // the first error libpng reported

  static void onError(png_structp p, png_const_charp message) {
    auto* self = static_cast<Impl*>(png_get_error_ptr(p));
    if (self->error.empty()) self->error = message ? message : "unknown error";
    png_longjmp(p, 1);
  }
  static void onWarning(png_structp, png_const_charp) {}
  static void onWrite(png_structp p, png_bytep data, png_size_t size) {
    static_cast<Impl*>(png_get_io_ptr(p))->out.append(reinterpret_cast<const char*>(data), size);
  }
  static void onFlush(png_structp) {}
};

PngRowWriter::PngRowWriter(int width, int height) : impl_(std::make_unique<Impl>()) {
  Impl& m = *impl_;
  m.width = width;
  m.height = height;
  if (width <= 0 || height <= 0) throw DeviceError("cannot encode a PNG: no pixels");
  m.row.resize(static_cast<size_t>(width) * 3);
  m.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &m, &Impl::onError, &Impl::onWarning);
  if (m.png) m.info = png_create_info_struct(m.png);
  if (!m.png || !m.info) {
    png_destroy_write_struct(&m.png, &m.info);
    throw DeviceError("cannot encode a PNG: out of memory");
  }
  if (setjmp(png_jmpbuf(m.png))) return;  // m.error says why; finish() reports it
  png_set_write_fn(m.png, &m, &Impl::onWrite, &Impl::onFlush);
  png_set_IHDR(m.png, m.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(m.png, m.info);
}

PngRowWriter::~PngRowWriter() { png_destroy_write_struct(&impl_->png, &impl_->info); }

void PngRowWriter::rows(const uint32_t* pixels, int count) {
  Impl& m = *impl_;
  if (!m.error.empty()) return;
  if (setjmp(png_jmpbuf(m.png))) return;
  for (int y = 0; y < count && m.written < m.height; ++y, ++m.written) {
    const uint32_t* p = pixels + static_cast<size_t>(y) * m.width;
    for (int x = 0; x < m.width; ++x) {
      m.row[x * 3] = static_cast<uint8_t>(p[x] >> 16);
      m.row[x * 3 + 1] = static_cast<uint8_t>(p[x] >> 8);
      m.row[x * 3 + 2] = static_cast<uint8_t>(p[x]);
    }
    png_write_row(m.png, m.row.data());
  }
}

std::string PngRowWriter::finish() {
  Impl& m = *impl_;
  if (m.error.empty() && m.written != m.height)
    m.error = std::to_string(m.written) + " of " + std::to_string(m.height) + " rows given";
  if (m.error.empty() && !setjmp(png_jmpbuf(m.png))) png_write_end(m.png, nullptr);
  if (!m.error.empty()) throw DeviceError("cannot encode a PNG: " + m.error);
  return std::move(m.out);
}

}  // namespace wince
