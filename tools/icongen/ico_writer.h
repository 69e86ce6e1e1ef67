// Writing .ico files: every image is a BMP-format entry (BITMAPINFOHEADER,
// colour bits, then the 1-bit AND mask), the form that resource compilers
// and the device's loader both read.
#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

#include "canvas.h"

namespace icongen {

struct Image {
  int size = 0;              // square: size x size
  std::vector<Pixel> px;     // rows top to bottom
};

// An entry as it will be stored: 32 bits per pixel with alpha, or 8 bits
// per pixel through a 256-colour palette with transparency in the AND mask.
struct IcoEntry {
  Image image;  // the pixels as stored (after palette reduction for 8 bpp)
  int bitsPerPixel = 32;
  std::vector<uint8_t> bytes;  // the encoded DIB
};

IcoEntry encode32(const Image& image);
IcoEntry encode8(const Image& image);

std::vector<uint8_t> icoFile(const std::vector<IcoEntry>& entries);
bool writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

}  // namespace icongen
