// A contact sheet: the screenshots of a run laid out side by side, each with
// its caption, as one PNG a person can open.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace crestune {

struct SheetFrame {
  std::string caption;
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB
};

// Lays the frames out in rows of `columns` and writes the PNG.
void writeContactSheet(const std::string& title, const std::vector<SheetFrame>& frames, int columns,
                       const std::filesystem::path& file);

}  // namespace crestune
