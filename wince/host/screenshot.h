// Screenshots: the device's screen, or any 0x00RRGGBB pixel block, as PNG.
#pragma once
#include <cstdint>
#include <filesystem>

#include "device.h"
#include "device_error.h"

namespace wince {

// Writes width x height pixels of 0x00RRGGBB (rows top to bottom) as an
// 8-bit RGB PNG. The file appears whole or not at all (written beside it,
// then renamed). Throws DeviceError on failure.
void writePng(int width, int height, const uint32_t* pixels, const std::filesystem::path& file);
// The screen, each pixel enlarged to scale x scale.
void writePng(const Screen& screen, const std::filesystem::path& file, int scale = 1);

}  // namespace wince
