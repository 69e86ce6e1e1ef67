// crestune demo from a clean build: the story runs to the end, its
// transcript tells what the player received and what the settings became,
// and its screenshots show what each step claims.
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <iterator>

#include "cli_run.h"

namespace clitest {
namespace {

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  uint32_t at(int x, int y) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  // How many pixels of the rectangle [x0,x1) x [y0,y1) satisfy the test.
  int count(int x0, int y0, int x1, int y1, const std::function<bool(uint32_t)>& test) const {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(height, y1); ++y)
      for (int x = std::max(0, x0); x < std::min(width, x1); ++x) n += test(at(x, y));
    return n;
  }
};

Image readPng(const fs::path& file) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  Image img;
  if (!png_image_begin_read_from_file(&png, file.c_str())) {
    ADD_FAILURE() << "cannot read " << file;
    return img;
  }
  png.format = PNG_FORMAT_RGB;
  img.width = static_cast<int>(png.width);
  img.height = static_cast<int>(png.height);
  img.rgb.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, img.rgb.data(), 0, nullptr)) {
    ADD_FAILURE() << "cannot decode " << file;
    img = Image{};
  }
  return img;
}

int r(uint32_t c) { return (c >> 16) & 0xFF; }
int g(uint32_t c) { return (c >> 8) & 0xFF; }
int b(uint32_t c) { return c & 0xFF; }

// The screenshot of the step whose caption starts with these words.
fs::path stepFile(const fs::path& folder, const std::string& slug) {
  for (const auto& e : fs::directory_iterator(folder)) {
    std::string name = e.path().filename().string();
    if (name.size() > 3 && name.compare(3, slug.size(), slug) == 0) return e.path();
  }
  ADD_FAILURE() << "no screenshot of the step " << slug;
  return folder / "missing.png";
}

// The names of the PNG files in a folder, in order.
std::vector<std::string> pngsIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const std::string& name : standin::folderEntries(folder))
    if (fs::path(name).extension() == ".png") names.push_back(name);
  return names;
}

// How many pixels of `part` differ from those of `whole` at (x0, y0).
int differing(const Image& part, const Image& whole, int x0 = 0, int y0 = 0) {
  int differ = 0;
  for (int y = 0; y < part.height; ++y)
    for (int x = 0; x < part.width; ++x) differ += part.at(x, y) != whole.at(x0 + x, y0 + y);
  return differ;
}

class DemoTest : public CliTest, public ::testing::WithParamInterface<bool> {};

// The demo as the device build on the emulated processor runs it, and as
// the host build does: the same transcript byte for byte, every screenshot
// the same pixel for pixel. The first line of each says which build ran on
// which processor.
TEST_P(DemoTest, TellsTheWholeStoryTheSameOnTheDeviceBuildAsOnTheHost) {
  const bool spanish = GetParam();
  Words arm = {"demo", "--out", "out"}, native = {"demo", "--out", "native", "--native"};
  for (Words* args : {&arm, &native})
    if (spanish) args->insert(args->end(), {"--language", "spanish"});
  Result run = crestune(arm), onHost = crestune(native);
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(onHost.status, 0) << onHost.err;
  EXPECT_EQ(run.err, "");
  const fs::path out = path("out");
  const std::string transcript = readFile(out / "transcript.txt");

  EXPECT_EQ(linesWith(transcript, "player received"),
            (std::vector<std::string>{"  player received 0x80C8 (Play)", "  player received 0x80CC (Next)",
                                      "  player received 0x80C9 (Pause)", "  player received 0x8037 (Mute)",
                                      "  player received 0x80CA (Stop)", "  player received 0x0010 (WM_CLOSE)"}));
  // The settings after each change of the icon size, in the language chosen.
  auto registered = [&](const std::string& iconSize) {
    return "  registry: Today item registered; settings IconSize=dword " + iconSize + " size 4, Language=dword " +
           (spanish ? "1" : "0") + " size 4, WMPApplication=sz \"\\Windows\\wmplayer.exe\" size 2048";
  };
  EXPECT_EQ(linesWith(transcript, "registry:"),
            (std::vector<std::string>{"  registry: Today item not registered; settings absent", registered("32"),
                                      registered("1"), registered("0"),
                                      "  registry: Today item not registered; settings absent"}));
  EXPECT_EQ(linesWith(transcript, "Español chosen").size(), spanish ? 1u : 0u);
  // Every step has its screenshot, numbered as in the transcript, beside
  // the two sheets.
  const size_t steps = linesWith(transcript, "step ").size();
  EXPECT_EQ(steps, spanish ? 18u : 17u);
  const std::vector<std::string> pngs = pngsIn(out);
  std::vector<std::string> shots;
  std::copy_if(pngs.begin(), pngs.end(), std::back_inserter(shots),
               [](const std::string& name) { return std::isdigit(static_cast<unsigned char>(name[0])); });
  ASSERT_EQ(shots.size(), steps);
  EXPECT_EQ(pngs.size(), steps + 2);

  // The title view: the item's title right of its icon, in the host's text
  // colour (dark blue, its grey edges blue too), in the item's row.
  auto titleText = [](uint32_t c) { return r(c) <= 100 && std::abs(r(c) - g(c)) <= 6 && b(c) - r(c) >= 60; };
  Image title = readPng(stepFile(out, "installed-the-item-s-title-view"));
  EXPECT_GT(title.count(30, 46, 240, 66, titleText), 100);
  EXPECT_GT(title.count(30, 46, 240, 66, [](uint32_t c) { return c == 0x000060; }), 0);

  // The buttons: the Play face is light, blue-white, around (41,60), and
  // the title has left the row.
  Image buttons = readPng(stepFile(out, "back-on-today-the-five-buttons"));
  auto face = [](uint32_t c) { return b(c) >= 200 && r(c) >= 150 && b(c) - r(c) >= 12; };
  EXPECT_GT(buttons.count(33, 52, 50, 68, face), 100);
  EXPECT_EQ(buttons.count(30, 46, 240, 66, titleText), 0);

  // The context menu: white, with black separator lines that have white
  // above and below them.
  Image menu = readPng(stepFile(out, "tap-and-hold-the-context-menu"));
  int separators = 0;
  for (int y = 1; y + 1 < menu.height; ++y) {
    int n = 0;
    for (int x = 0; x < menu.width; ++x)
      n += menu.at(x, y) == 0x000000 && menu.at(x, y - 1) == 0xFFFFFF && menu.at(x, y + 1) == 0xFFFFFF;
    separators += n >= 100;
  }
  EXPECT_EQ(separators, 2);
  EXPECT_GT(menu.count(0, 0, menu.width, menu.height, [](uint32_t c) { return c == 0xFFFFFF; }), 20000);

  // The options page: its heading in blue; the Today screen has none.
  auto heading = [](uint32_t c) { return c == 0x00009C; };
  Image options = readPng(stepFile(out, "the-options-page"));
  EXPECT_GT(options.count(0, 26, 240, 50, heading), 100);
  EXPECT_EQ(buttons.count(0, 26, 240, 50, heading), 0);

  // Back to standard buttons: the Play face is 24 pixels high from y 48,
  // the large one higher.
  auto faceRows = [&](const Image& img) {
    std::vector<int> rows;
    for (int y = 46; y < 100; ++y)
      if (img.count(33, y, 50, y + 1, face) > 0) rows.push_back(y);
    return rows;
  };
  std::vector<int> smaller = faceRows(readPng(stepFile(out, "after-the-next-refresh-the-smaller-item")));
  std::vector<int> larger = faceRows(readPng(stepFile(out, "after-the-next-refresh-the-larger-play")));
  ASSERT_FALSE(smaller.empty());
  ASSERT_FALSE(larger.empty());
  EXPECT_NEAR(smaller.front(), 48, 1);
  EXPECT_NEAR(smaller.back() - smaller.front() + 1, 24, 1);
  EXPECT_GT(larger.back() - larger.front() + 1, 28);

  // The sheet: four frames a row, each the very pixels of its step's
  // screenshot, below a title band and above its caption.
  Image sheet = readPng(out / "contact-sheet.png");
  const int rows = static_cast<int>((steps + 3) / 4);
  EXPECT_EQ(sheet.width, 16 + 4 * (240 + 16));
  EXPECT_EQ(sheet.height, 40 + rows * (320 + 36 + 16) + 16);
  for (size_t i = 0; i < shots.size(); ++i) {
    const int x0 = 16 + static_cast<int>(i % 4) * (240 + 16), y0 = 40 + static_cast<int>(i / 4) * (320 + 36 + 16);
    EXPECT_EQ(differing(readPng(out / shots[i]), sheet, x0, y0), 0) << shots[i];
  }

  // The host build's run, line for line, file for file, pixel for pixel.
  auto firstLine = [](const std::string& s) { return s.substr(0, s.find('\n')); };
  EXPECT_EQ(firstLine(run.out), "Crestune 1.0, device build (ARM) on the emulated StrongARM SA-1110");
  EXPECT_EQ(firstLine(onHost.out), "Crestune 1.0, host build (x86-64, native)");
  EXPECT_EQ(linesWith(run.out, "step "), linesWith(onHost.out, "step "));
  EXPECT_EQ(transcript, readFile(path("native") / "transcript.txt"));
  ASSERT_EQ(pngsIn(path("native")), pngs);
  for (const std::string& name : pngs) {
    const Image a = readPng(out / name), h = readPng(path("native") / name);
    ASSERT_EQ(a.width, h.width) << name;
    ASSERT_EQ(a.height, h.height) << name;
    EXPECT_EQ(differing(a, h), 0) << name << ": pixels that differ between the device build and the host build";
  }
}

INSTANTIATE_TEST_SUITE_P(Language, DemoTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Spanish" : "English"; });

}  // namespace
}  // namespace clitest
