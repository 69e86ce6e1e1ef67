// The stand-in's resource loader on the icons that icongen draws compiled
// by llvm-rc: the .res reader against the bytes llvm-rc writes, and icons
// and raw resources as the loader makes them (the images it decodes, the
// handles it counts, modules it is given and takes back). What the platform
// functions answer is in the conformance tests (resource_test.cpp,
// gdi_draw_test.cpp).
#include <gtest/gtest.h>
#include <png.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "device.h"
#include "icon_image.h"
#include "resource_directory.h"
#include "resources_testdata.h"

namespace {

using wince::IconImage;
using wince::ResourceDirectory;
using wince::ResourceId;

constexpr uint16_t kRtIcon = 3, kRtRcdata = 10, kRtGroupIcon = 14;

std::string bytesOf(const wince::ResourceEntry* e) { return std::string(reinterpret_cast<const char*>(e->data), e->size); }

// The reader on the whole compiled file.
class ResourceDirectoryFile : public ::testing::Test {
 protected:
  std::vector<unsigned char> bytes = testResources();
  const ResourceDirectory dir{bytes.data(), bytes.size()};
};

TEST_F(ResourceDirectoryFile, ReadsEveryRecordOfACompiledFile) {
  ASSERT_FALSE(bytes.empty());
  EXPECT_TRUE(dir.intact());

  int icons = 0, groups = 0;
  for (const auto& e : dir.entries()) {
    EXPECT_FALSE(e.type.isOrdinal() && e.type.ordinal == 0) << "the leading empty record is not a resource";
    if (e.type.matches(kRtIcon)) ++icons;
    if (e.type.matches(kRtGroupIcon)) ++groups;
  }
  EXPECT_EQ(groups, 5);
  EXPECT_EQ(icons, 3 + 2 + 2 + 2 + 2);  // 101, 111, 112, 102 and PACKAGE

  const auto* seven = dir.find(kRtRcdata, 7);
  ASSERT_NE(seven, nullptr);
  EXPECT_EQ(bytesOf(seven), std::string("\x01\x02\x03\x04xyz", 7));
  EXPECT_EQ(seven->language, 0x0409);
  const auto* eight = dir.find(kRtRcdata, 8);
  ASSERT_NE(eight, nullptr);
  EXPECT_EQ(bytesOf(eight), "odd");
  EXPECT_EQ(eight->language, 0x0C0A);

  // Its header ends two bytes short of a DWORD: the padding must be skipped.
  const auto* ab = dir.find(kRtRcdata, ResourceId(u"AB"));
  ASSERT_NE(ab, nullptr);
  EXPECT_EQ(bytesOf(ab), "q");
}

TEST_F(ResourceDirectoryFile, MatchesNamesWithoutRegardToCaseAndKeepsOrdinalsApart) {
  const auto* greeting = dir.find(ResourceId(u"textBlob"), ResourceId(u"Greeting"));
  ASSERT_NE(greeting, nullptr);
  EXPECT_EQ(bytesOf(greeting), "hello");
  EXPECT_NE(dir.find(kRtGroupIcon, ResourceId(u"package")), nullptr);

  // "7" as a string is a name, not the ordinal 7; "#7" is the ordinal.
  EXPECT_EQ(dir.find(kRtRcdata, ResourceId(u"7")), nullptr);
  EXPECT_EQ(dir.find(kRtRcdata, ResourceId::fromArgument(u"#7")), dir.find(kRtRcdata, 7));
  EXPECT_EQ(dir.find(kRtRcdata, ResourceId::fromArgument(MAKEINTRESOURCEW(7))), dir.find(kRtRcdata, 7));
  EXPECT_EQ(dir.find(kRtRcdata, 9), nullptr);
  EXPECT_FALSE(dir.hasType(5));
  EXPECT_TRUE(dir.hasType(ResourceId(u"TEXTBLOB")));
}

TEST(ResourceDirectory, ArgumentForms) {
  EXPECT_TRUE(ResourceId::fromArgument(u"#65535").isOrdinal());
  EXPECT_EQ(ResourceId::fromArgument(u"#65535").ordinal, 65535);
  // Not ordinals: out of range, not digits, a lone '#'.
  EXPECT_FALSE(ResourceId::fromArgument(u"#65536").isOrdinal());
  EXPECT_FALSE(ResourceId::fromArgument(u"#1a").isOrdinal());
  EXPECT_FALSE(ResourceId::fromArgument(u"#").isOrdinal());
  EXPECT_TRUE(ResourceId(u"\u00e9t\u00e9").matches(ResourceId(u"\u00c9T\u00c9")));
  EXPECT_FALSE(ResourceId(u"AB").matches(ResourceId(u"ABC")));
}

TEST_F(ResourceDirectoryFile, CutShortFileKeepsTheRecordsBeforeTheDamage) {
  // Every cut point: the reader must never look past the end (checked under
  // the sanitizers) and must keep exactly the records that are complete.
  for (size_t cut = 0; cut < bytes.size(); cut += 7) {
    std::vector<unsigned char> part(bytes.begin(), bytes.begin() + cut);
    ResourceDirectory cutShort(part.data(), part.size());
    ASSERT_LE(cutShort.entries().size(), dir.entries().size());
    for (const auto& e : cutShort.entries()) ASSERT_LE(e.data + e.size, part.data() + part.size());
  }
  std::vector<unsigned char> part(bytes.begin(), bytes.begin() + bytes.size() - 4);  // the last record loses its one data byte
  ResourceDirectory cutShort(part.data(), part.size());
  EXPECT_FALSE(cutShort.intact());
  EXPECT_EQ(cutShort.entries().size(), dir.entries().size() - 1);
}

TEST(ResourceDirectory, ImpossibleSizesStopTheReader) {
  auto bytes = testResources();
  // The second record (the first resource) claims more data than there is.
  bytes[32] = bytes[33] = bytes[34] = bytes[35] = 0xFF;
  ResourceDirectory dir(bytes.data(), bytes.size());
  EXPECT_FALSE(dir.intact());
  EXPECT_TRUE(dir.entries().empty());

  const unsigned char headerTooSmall[] = {0, 0, 0, 0, 4, 0, 0, 0};
  EXPECT_FALSE(ResourceDirectory(headerTooSmall, sizeof headerTooSmall).intact());
  EXPECT_TRUE(ResourceDirectory(nullptr, 0).intact());
}

uint8_t alpha(uint32_t argb) { return argb >> 24; }
int red(uint32_t argb) { return (argb >> 16) & 0xFF; }
int green(uint32_t argb) { return (argb >> 8) & 0xFF; }
int blue(uint32_t argb) { return argb & 0xFF; }

class ResourceFunctions : public ::testing::Test {
 protected:
  const HMODULE module = reinterpret_cast<HMODULE>(uintptr_t{0x7A000000});
  const HMODULE stranger = reinterpret_cast<HMODULE>(uintptr_t{0x7B000000});
  std::vector<unsigned char> bytes = testResources();
  wince::Device dev{wince::DeviceOptions{}};

  void SetUp() override {
    ASSERT_FALSE(bytes.empty());
    dev.addResourceModule(module, bytes.data(), bytes.size());
  }
  int liveIcons() { return dev.accounting().live(wince::ObjectKind::Icon); }
  const IconImage& image(HANDLE h) {
    const IconImage* img = dev.iconImage(static_cast<HICON>(h));
    EXPECT_NE(img, nullptr);
    static const IconImage none;
    return img ? *img : none;
  }
  HANDLE load(int id, int cx, int cy) { return LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, 0); }
};

// The sizes asked for, 0 x 0 and LoadIconW's standard size are conformance
// tests (gdi_draw_test.cpp); here that each is the group's own image of
// that size (32 is not the 24 one enlarged), also when only one side is
// given (desktop Win32, under Wine, keeps the group's first width instead),
// and what the faces look like.
TEST_F(ResourceFunctions, ButtonFacesAreTheGroupsOwnImagesRoundWithTransparentCorners) {
  ResourceDirectory dir(bytes.data(), bytes.size());
  const auto* group = dir.find(kRtGroupIcon, 111);
  auto entries = wince::parseGroupIcon(group->data, group->size);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 2u);
  for (int size : {24, 32}) {
    SCOPED_TRACE(size);
    HANDLE normal = load(111, size, size);
    HANDLE pressed = load(112, size, size);
    const IconImage& n = image(normal);
    const IconImage& p = image(pressed);
    ASSERT_EQ(n.argb.size(), static_cast<size_t>(size * size));
    const auto* own = dir.find(kRtIcon, (*entries)[size == 24 ? 0 : 1].iconId);
    auto decoded = wince::decodeIconImage(own->data, own->size);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(n.argb, decoded->argb);
    HANDLE oneSide = load(111, 0, size);
    EXPECT_EQ(image(oneSide).argb, n.argb);
    DestroyIcon(static_cast<HICON>(oneSide));
    auto at = [size](const IconImage& img, int x, int y) { return img.argb[y * size + x]; };
    for (const IconImage* img : {&n, &p}) {
      for (const POINT corner : {POINT{0, 0}, POINT{size - 1, 0}, POINT{0, size - 1}, POINT{size - 1, size - 1}})
        EXPECT_EQ(alpha(at(*img, corner.x, corner.y)), 0);
      EXPECT_EQ(alpha(at(*img, size / 2, size / 2)), 255);
      // The edge of the face is anti-aliased: partly covered pixels exist.
      int partial = 0;
      for (uint32_t px : img->argb) partial += alpha(px) > 0 && alpha(px) < 255;
      EXPECT_GT(partial, size / 2);
    }
    // Centre: the dark glyph. Below it, the face: light for normal, green
    // for pressed.
    uint32_t glyph = at(n, size / 2, size / 2);
    EXPECT_LT(red(glyph) + green(glyph) + blue(glyph), 200);
    uint32_t face = at(n, size / 2, size * 5 / 6);
    EXPECT_GT(red(face), 150);
    EXPECT_GT(blue(face), 200);
    uint32_t pressedFace = at(p, size / 2, size * 5 / 6);
    EXPECT_GT(green(pressedFace), red(pressedFace) + 40);
    EXPECT_GT(green(pressedFace), blue(pressedFace) + 40);
    DestroyIcon(static_cast<HICON>(normal));
    DestroyIcon(static_cast<HICON>(pressed));
  }
}

TEST(GroupIconChoice, ExactThenClosestPreferringLargerAndDeeper) {
  std::vector<wince::GroupIconEntry> entries = {
      {16, 16, 0, 1, 8, 0, 1}, {32, 32, 0, 1, 8, 0, 2}, {32, 32, 0, 1, 32, 0, 3}, {24, 24, 0, 1, 32, 0, 4}};
  EXPECT_EQ(wince::chooseGroupIconEntry(entries, 0, 0), 0);
  EXPECT_EQ(wince::chooseGroupIconEntry(entries, 24, 24), 3);
  EXPECT_EQ(wince::chooseGroupIconEntry(entries, 32, 32), 2);  // the 32-bit one of the two
  EXPECT_EQ(wince::chooseGroupIconEntry(entries, 20, 20), 3);  // 16 and 24 equally far: the larger
  EXPECT_EQ(wince::chooseGroupIconEntry(entries, 64, 64), 2);
  EXPECT_EQ(wince::chooseGroupIconEntry(entries, 0, 16), 0);
  EXPECT_EQ(wince::chooseGroupIconEntry({}, 16, 16), -1);
}

TEST_F(ResourceFunctions, SetupPackageIsPaletteImageWithMask) {
  // 102 holds 8-bit images: every pixel fully opaque or fully transparent.
  for (LPCWSTR name : {static_cast<LPCWSTR>(MAKEINTRESOURCEW(102)), static_cast<LPCWSTR>(u"package")}) {
    for (int size : {16, 32}) {
      HANDLE h = LoadImageW(module, name, IMAGE_ICON, size, size, 0);
      ASSERT_NE(h, nullptr);
      const IconImage& img = image(h);
      int opaque = 0;
      for (uint32_t px : img.argb) {
        ASSERT_TRUE(alpha(px) == 0 || alpha(px) == 255);
        opaque += alpha(px) == 255;
      }
      EXPECT_EQ(alpha(img.argb[0]), 0);
      EXPECT_GT(opaque, size * size / 3);
      EXPECT_LT(opaque, size * size);
      DestroyIcon(static_cast<HICON>(h));
    }
  }
}

// Missing icons and raw data taken for an icon are conformance tests
// (resource_test.cpp); here a module the device does not know and an icon
// asked for as a bitmap, which the device's loader does not make, and the
// count of icons over loads and destroys.
TEST_F(ResourceFunctions, DestroyIconBalancesLoadsAndFailedLoadsMakeNoIcon) {
  EXPECT_EQ(LoadImageW(stranger, MAKEINTRESOURCEW(111), IMAGE_ICON, 24, 24, 0), nullptr);
  EXPECT_EQ(LoadImageW(module, MAKEINTRESOURCEW(111), IMAGE_BITMAP, 24, 24, 0), nullptr);
  EXPECT_EQ(liveIcons(), 0);
  HANDLE a = load(111, 24, 24), b = load(112, 32, 32);
  HICON c = LoadIconW(module, u"PACKAGE");
  EXPECT_EQ(liveIcons(), 3);
  EXPECT_TRUE(DestroyIcon(static_cast<HICON>(a)));
  EXPECT_TRUE(DestroyIcon(static_cast<HICON>(b)));
  EXPECT_TRUE(DestroyIcon(c));
  EXPECT_EQ(liveIcons(), 0);
  EXPECT_FALSE(DestroyIcon(c));
  EXPECT_FALSE(DestroyIcon(nullptr));
  EXPECT_EQ(liveIcons(), 0);
}

// An icon loaded again is a handle of its own on the same picture: one
// destroyed leaves the other whole, and so does its module going away; the
// module's resources coming back at another address load afresh.
TEST_F(ResourceFunctions, IconsLoadedAgainAreHandlesOfTheirOwn) {
  HANDLE first = load(111, 24, 24), second = load(111, 24, 24);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  const std::vector<uint32_t> picture = image(first).argb;
  EXPECT_EQ(image(second).argb, picture);
  EXPECT_NE(image(load(111, 32, 32)).argb, picture) << "another size is another picture";
  EXPECT_TRUE(DestroyIcon(static_cast<HICON>(first)));
  EXPECT_EQ(image(second).argb, picture);

  dev.removeResourceModule(module);
  EXPECT_EQ(image(second).argb, picture) << "a live handle keeps its picture after its module goes";
  std::vector<unsigned char> moved = bytes;
  dev.addResourceModule(module, moved.data(), moved.size());
  HANDLE again = load(111, 24, 24);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(image(again).argb, picture);
  dev.removeResourceModule(module);
  EXPECT_EQ(load(111, 24, 24), nullptr) << "nothing is loaded from a module that is gone";
}

// Raw resources by number, by name and of a type of their own, and the
// errors for missing ones, are conformance tests (resource_test.cpp); here a
// resource handle used with another module the device holds.
TEST_F(ResourceFunctions, AResourceHandleIsGoodOnlyWithItsModule) {
  HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(7), RT_RCDATA);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(LockResource(LoadResource(module, info)), LoadResource(module, info));
  EXPECT_EQ(FindResourceW(stranger, MAKEINTRESOURCEW(7), RT_RCDATA), nullptr);
  std::vector<unsigned char> copy = bytes;
  dev.addResourceModule(stranger, copy.data(), copy.size());
  EXPECT_EQ(SizeofResource(stranger, info), 0u);
  EXPECT_EQ(LoadResource(stranger, info), nullptr);
  EXPECT_EQ(SizeofResource(module, reinterpret_cast<HRSRC>(&copy)), 0u);
  dev.removeResourceModule(stranger);
}

// Hand-made images for the depths icongen does not write.
std::vector<unsigned char> dib(int width, int height, int bits, std::vector<uint32_t> palette,
                               std::vector<unsigned char> colourRows, std::vector<unsigned char> maskRows) {
  std::vector<unsigned char> out(40, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = (v >> (8 * i)) & 0xFF;
  };
  put32(0, 40);
  put32(4, width);
  put32(8, height * 2);
  out[12] = 1;
  out[14] = static_cast<unsigned char>(bits);
  put32(32, static_cast<uint32_t>(palette.size()));
  for (uint32_t c : palette) out.insert(out.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0});
  out.insert(out.end(), colourRows.begin(), colourRows.end());
  out.insert(out.end(), maskRows.begin(), maskRows.end());
  return out;
}

TEST(IconDecoding, PaletteImagesTakeTransparencyFromTheMask) {
  // 1 bit, 8 x 2, bottom row stored first. Top row: alternating colours;
  // bottom row: all colour 1, the last four masked out.
  auto one = dib(8, 2, 1, {0x000000, 0xFF0000}, {0xFF, 0, 0, 0, 0x55, 0, 0, 0}, {0x0F, 0, 0, 0, 0x00, 0, 0, 0});
  auto img = wince::decodeIconImage(one.data(), one.size());
  ASSERT_TRUE(img);
  EXPECT_EQ(img->width, 8);
  EXPECT_EQ(img->height, 2);
  const uint32_t k = 0xFF000000, r = 0xFFFF0000;
  EXPECT_EQ(img->argb, (std::vector<uint32_t>{k, r, k, r, k, r, k, r, r, r, r, r, 0, 0, 0, 0}));

  // 4 bits, 2 x 1: high nibble first.
  auto four = dib(2, 1, 4, {0, 0x00FF00, 0x0000FF}, {0x21, 0, 0, 0}, {0x40, 0, 0, 0});
  img = wince::decodeIconImage(four.data(), four.size());
  ASSERT_TRUE(img);
  EXPECT_EQ(img->argb, (std::vector<uint32_t>{0xFF0000FF, 0}));

  // Cut short anywhere inside the colour bits: refused, never read past.
  for (size_t cut = 0; cut < one.size() - 8; ++cut)
    EXPECT_FALSE(wince::decodeIconImage(one.data(), cut)) << cut;
}

TEST(IconDecoding, ThirtyTwoBitsUseAlphaUnlessItIsAllZero) {
  std::vector<unsigned char> px = {0x10, 0x20, 0x30, 0x80, 0x11, 0x22, 0x33, 0x00};
  auto withAlpha = dib(2, 1, 32, {}, px, {0xC0, 0, 0, 0});
  auto img = wince::decodeIconImage(withAlpha.data(), withAlpha.size());
  ASSERT_TRUE(img);
  EXPECT_EQ(img->argb[0], 0x80302010u);  // the mask does not override alpha
  EXPECT_EQ(alpha(img->argb[1]), 0);

  px[3] = 0;
  auto noAlpha = dib(2, 1, 32, {}, px, {0x40, 0, 0, 0});
  img = wince::decodeIconImage(noAlpha.data(), noAlpha.size());
  ASSERT_TRUE(img);
  EXPECT_EQ(img->argb[0], 0xFF302010u);
  EXPECT_EQ(img->argb[1], 0u);
}

TEST(IconDecoding, PngEntriesKeepTheirAlpha) {
  const uint32_t pixels[4] = {0xFF112233, 0x00000000, 0x80FF0000, 0xFF00FF00};  // 0xAARRGGBB
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = 2;
  png.height = 2;
  png.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  ASSERT_TRUE(png_image_write_to_memory(&png, nullptr, &size, 0, pixels, 0, nullptr));
  std::vector<unsigned char> file(size);
  ASSERT_TRUE(png_image_write_to_memory(&png, file.data(), &size, 0, pixels, 0, nullptr));
  auto img = wince::decodeIconImage(file.data(), size);
  ASSERT_TRUE(img);
  ASSERT_EQ(img->width, 2);
  EXPECT_EQ(img->argb[0], pixels[0]);
  EXPECT_EQ(alpha(img->argb[1]), 0);
  EXPECT_EQ(img->argb[2], pixels[2]);
  EXPECT_EQ(img->argb[3], pixels[3]);
  EXPECT_FALSE(wince::decodeIconImage(file.data(), size / 2));
}

}  // namespace
