// A PNG sheet of every stored icon image: each at its own size on a white,
// a light blue and a dark background, then enlarged on a checkerboard.
#pragma once
#include <filesystem>
#include <vector>

#include "ico_writer.h"

namespace icongen {

bool writePreview(const std::filesystem::path& path, const std::vector<std::vector<IcoEntry>>& icons);

}  // namespace icongen
