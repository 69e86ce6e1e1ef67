// Screenshots: the device's screen, or any 0x00RRGGBB pixel block, as PNG.
#pragma once
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "device.h"
#include "device_error.h"

namespace wince {

// Writes width x height pixels of 0x00RRGGBB (rows top to bottom) as an
// 8-bit RGB PNG, as writeFileAtomically writes any file (whole or not at
// all; only over a regular file or none). Throws DeviceError on failure.
void writePng(int width, int height, const uint32_t* pixels, const std::filesystem::path& file);
// The screen, each pixel enlarged to scale x scale.
void writePng(const Screen& screen, const std::filesystem::path& file, int scale = 1);

// The same PNG in memory, and the pixels it holds back again (the picture's
// size in `width` and `height`). Throw DeviceError.
std::string encodePng(int width, int height, const uint32_t* pixels);
std::vector<uint32_t> decodePng(std::string_view png, int& width, int& height);

// A PNG made a band of rows at a time, top to bottom, for a picture too
// large to hold whole (a contact sheet of many steps): only the compressed
// picture is kept.
class PngRowWriter {
 public:
  PngRowWriter(int width, int height);
  ~PngRowWriter();
  PngRowWriter(const PngRowWriter&) = delete;
  PngRowWriter& operator=(const PngRowWriter&) = delete;
  // `count` rows of `width` pixels each.
  void rows(const uint32_t* pixels, int count);
  // The PNG, once every row has been given. Throws DeviceError.
  std::string finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace wince
