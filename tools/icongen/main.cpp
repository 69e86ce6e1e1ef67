// icongen: draws the product's icons and writes them as .ico files, plus a
// PNG preview sheet.
//   icongen <output folder>
#include <cstdio>
#include <filesystem>

#include "artwork.h"
#include "ico_writer.h"
#include "preview.h"

using namespace icongen;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: icongen <output folder>\n");
    return 2;
  }
  const std::filesystem::path out = argv[1];
  std::error_code ec;
  std::filesystem::create_directories(out, ec);

  std::vector<std::vector<IcoEntry>> all;
  for (const IconArt& art : allIcons()) {
    std::vector<IcoEntry> entries;
    for (int size : art.sizes) {
      Canvas canvas(size, designSize());
      art.draw(canvas);
      Image image{size, canvas.pixels()};
      entries.push_back(art.bitsPerPixel == 8 ? encode8(image) : encode32(image));
    }
    if (!writeFile(out / art.file, icoFile(entries))) {
      std::fprintf(stderr, "icongen: cannot write %s\n", (out / art.file).c_str());
      return 1;
    }
    all.push_back(std::move(entries));
  }
  if (!writePreview(out / "preview.png", all)) {
    std::fprintf(stderr, "icongen: cannot write the preview\n");
    return 1;
  }
  return 0;
}
