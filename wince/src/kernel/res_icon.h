// Icons as LoadImageW makes them from a module's resources: the group's
// entry chosen for the size asked, decoded (icon_image.h) and scaled.
#pragma once
#include <optional>

#include "icon_image.h"
#include "resource_directory.h"

namespace wince {

// Nearest-neighbour scaling.
IconImage scaleNearest(const IconImage& image, int width, int height);

enum class IconLoadError { None, TypeNotFound, NameNotFound, BadData };

// The image that LoadImageW makes from icon group `name` of `dir` for a
// cx x cy request: chosen as chooseGroupIconEntry does, decoded, and scaled
// to cx x cy when that is given and differs.
std::optional<IconImage> loadIconImage(const ResourceDirectory& dir, const ResourceId& name, int cx, int cy,
                                       IconLoadError* error = nullptr);

}  // namespace wince
