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
  std::string png;  // the screen as PNG: a run of many steps keeps them all
};

// Lays the frames out in rows of `columns` and writes the PNG, one row of
// frames at a time: however many frames, only one row's pixels are held.
void writeContactSheet(const std::string& title, const std::vector<const SheetFrame*>& frames, int columns,
                       const std::filesystem::path& file);

}  // namespace crestune
