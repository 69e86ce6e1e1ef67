// Stand-in only (its pixels, set beside Wine's).
// What the item paints itself, on the stand-in beside what crestitem.dll
// painted under Wine (the pictures the Win32 test host leaves in pixels\):
// the title view, both button sizes with one button held, and the options
// page's heading, rule and link. Run by win32/run-tests.sh, which sets
// CRESTUNE_WINE_PIXELS (the Wine pictures) and CRESTUNE_PIXEL_OUT (where a
// failing view leaves both pictures and their differences).
#include <todaycmn.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "device.h"
#include "fixture.h"
#include "picture_compare.h"
#include "screenshot.h"

namespace crestune::testing {
namespace {

namespace fs = std::filesystem;

// The tolerance. A pixel matches when the other side has one within 40 on
// every channel (8-bit) at the same place or one pixel away, and at least
// 99% of each view's pixels must match. Both sides draw the same Tahoma,
// from its one-bit bitmaps at these sizes, and the same icons; what may
// differ is a blend rounded another way (an icon's soft edge: a few levels)
// and where a control's system drawing ends (Wine underlines the link a
// pixel or two past its last glyph): the distance and the one-pixel reach
// take those aside. A word one pixel over still matches; a word two pixels
// over or missing, a wrong colour (the heading's blue 156 against black),
// a missing rule or a wrong icon face (the pressed button) is off by far
// more than 40 and over more than 1% of these small views (the title's
// "Crestune" alone is about 2% of its 240x20).
constexpr int kDistance = 40;
constexpr int kReach = 1;
constexpr double kLeast = 0.99;

Picture crop(const wince::Screen& s, RECT r) {
  Picture p{static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top), {}};
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) p.pixels.push_back(s.at(x, y) & 0xFFFFFF);
  return p;
}

LRESULT CALLBACK parentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == TODAYM_GETCOLOR) return RGB(0, 0, 0);
  if (message == TODAYM_DRAWWATERMARK) {
    auto* info = reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lParam);
    FillRect(info->hdc, &info->rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return TRUE;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The same states as the Win32 test host's pixel_capture.cpp, drawn here.
class StandinViews : public DeviceTest {
 protected:
  // With `press` false, no button is held down.
  std::map<std::string, Picture> render(bool press = true) {
    std::map<std::string, Picture> views;
    HMODULE library = LoadLibraryW(u"crestitem.dll");
    EXPECT_TRUE(library);
    if (!library) return views;
    auto create = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(240)))));
    auto options = reinterpret_cast<DLGPROC>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(241)))));
    WNDCLASSW wc{};
    wc.lpfnWndProc = parentProc;
    wc.lpszClassName = u"PixelParent";
    RegisterClassW(&wc);
    HWND parent = CreateWindowExW(0, u"PixelParent", u"Today", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr,
                                  nullptr, nullptr, nullptr);
    auto capture = [&](HWND item, const std::string& name) {
      RECT r;
      GetWindowRect(item, &r);
      views[name] = crop(device().screen(), r);
    };
    auto place = [&](TODAYLISTITEM& record) {
      record = TODAYLISTITEM{};
      record.fEnabled = TRUE;
      HWND item = create(&record, parent);
      record.hwndCustom = item;
      SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, reinterpret_cast<LPARAM>(&record));
      MoveWindow(item, 0, 0, 240, static_cast<int>(record.cyp), TRUE);
      return item;
    };
    TODAYLISTITEM record;
    HWND item = place(record);
    windows().runUntilIdle();
    capture(item, "title");
    DestroyWindow(item);

    session.player().start();
    for (auto [iconSize, pressX, name] : {std::tuple{1u, 45, "buttons-large"}, {0u, 89, "buttons-standard"}}) {
      storeSetting("IconSize", iconSize);
      item = place(record);
      int y = static_cast<int>(record.cyp) / 2;
      if (press) SendMessageW(item, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pressX, y));
      windows().runUntilIdle();
      capture(item, name);
      SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(200, y));
      DestroyWindow(item);
    }
    session.player().close();
    reg().deleteKey(kSettingsKey);

    whileOpen([&] { return DialogBoxParamW(reinterpret_cast<HINSTANCE>(library), MAKEINTRESOURCE(500), nullptr,
                                           options, 0); },
              {[&] {
                HWND page = openDialogWindow();
                POINT origin{0, 0};
                ClientToScreen(page, &origin);
                views["options-heading"] = crop(device().screen(), RECT{origin.x, origin.y, origin.x + 240, origin.y + 25});
                capture(GetDlgItem(page, 1014), "options-link");
                PostMessageW(page, WM_CLOSE, 0, 0);
              }});
    DestroyWindow(parent);
    UnregisterClassW(u"PixelParent", nullptr);
    FreeLibrary(library);
    return views;
  }
};

TEST(PictureAgreement, AnEdgeOnePixelOverMatchesButInkOnOneSideOnlyDoesNot) {
  Picture white{6, 1, std::vector<uint32_t>(6, 0xFFFFFF)};
  Picture a = white, b = white;
  a.pixels[2] = 0;
  b.pixels[3] = 0;
  EXPECT_EQ(6, agreement(a, b, kDistance, 1).matching);
  EXPECT_EQ(4, agreement(a, b, kDistance, 0).matching);
  // Ink that only one side drew is a mismatch however near its neighbours are.
  EXPECT_EQ(5, agreement(a, white, kDistance, 1).matching);
  // A colour off by more than the distance on one channel is a mismatch.
  Picture c = white;
  c.pixels[0] = 0xFFFF00;
  Agreement r = agreement(c, white, kDistance, 1);
  EXPECT_FALSE(r.matches[0]);
  EXPECT_EQ(0xFF0000u, differences(c, r).pixels[0]);
  // Pictures of different sizes agree over the area they share.
  Picture wide{8, 2, std::vector<uint32_t>(16, 0xFFFFFF)};
  r = agreement(white, wide, kDistance, 1);
  EXPECT_EQ(6, r.width * r.height);
  EXPECT_DOUBLE_EQ(1.0, r.share());
}

// The tolerance against the faults it is there to catch, on the stand-in's
// own views: the title's text two pixels over, and the large view's Play
// button drawn released.
TEST_F(StandinViews, TheToleranceCatchesTextTwoPixelsOverAndAWrongButtonFace) {
  auto views = render();
  ASSERT_TRUE(views.count("title") && views.count("buttons-large"));
  const Picture& title = views["title"];
  Picture moved = title;
  for (int y = 0; y < title.height; ++y)
    for (int x = 30; x < title.width; ++x) moved.pixels[y * title.width + x] = title.at(std::max(30, x - 2), y);
  EXPECT_DOUBLE_EQ(1.0, agreement(title, title, kDistance, kReach).share());
  EXPECT_LT(agreement(title, moved, kDistance, kReach).share(), kLeast);

  auto released = render(false);
  ASSERT_TRUE(released.count("buttons-large"));
  EXPECT_LT(agreement(views["buttons-large"], released["buttons-large"], kDistance, kReach).share(), kLeast);
}

TEST_F(StandinViews, EachViewMatchesWhatCrestitemDllPaintedUnderWine) {
  const char* winePictures = std::getenv("CRESTUNE_WINE_PIXELS");
  if (!winePictures) GTEST_SKIP() << "no Wine pictures (CRESTUNE_WINE_PIXELS): run by win32/run-tests.sh";
  const char* outEnv = std::getenv("CRESTUNE_PIXEL_OUT");
  fs::path out = outEnv ? outEnv : "pixel-conformance";
  fs::create_directories(out);
  auto views = render();
  for (const char* name : {"title", "buttons-large", "buttons-standard", "options-heading", "options-link"}) {
    SCOPED_TRACE(name);
    auto wine = readPpm(fs::path(winePictures) / (std::string(name) + ".ppm"));
    ASSERT_TRUE(wine) << "no Wine picture of " << name << " in " << winePictures;
    ASSERT_TRUE(views.count(name));
    const Picture& here = views[name];
    // The link's control is sized in dialog units, which Wine takes from
    // its own MS Sans Serif and the device from Tahoma: its text is
    // compared over the area both controls share.
    if (std::string(name) != "options-link") {
      EXPECT_EQ(here.width, wine->width);
      EXPECT_EQ(here.height, wine->height);
    }
    Agreement r = agreement(here, *wine, kDistance, kReach);
    std::printf("pixels: %-17s %3dx%-3d (Wine %dx%d) %6.2f%% of the pixels match\n", name, here.width, here.height,
                wine->width, wine->height, 100 * r.share());
    EXPECT_GE(r.share(), kLeast) << "see " << out.string();
    if (r.share() < kLeast) {
      wince::writePng(here.width, here.height, here.pixels.data(), out / (std::string(name) + "-standin.png"));
      wince::writePng(wine->width, wine->height, wine->pixels.data(), out / (std::string(name) + "-wine.png"));
      Picture d = differences(here, r);
      wince::writePng(d.width, d.height, d.pixels.data(), out / (std::string(name) + "-diff.png"));
    }
  }
}

}  // namespace
}  // namespace crestune::testing
