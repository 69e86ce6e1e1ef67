// Stand-in only (its pixels, trace and open-file dialog).
// The options page, opened from the Today settings the way the shell opens
// it, and driven by the person's hand while it runs.
#include "fixture.h"

#include "device.h"

namespace crestune::testing {
namespace {

constexpr int kLarge = 1009, kStandard = 1006, kDisplayLabel = 1010, kBrowse = 1018, kCancel = 1019, kLink = 1014;
constexpr uint32_t kHeadingBlue = 0x00009C;  // 0x9C0000 as the item gives it: blue 156

class Options : public StrictDeviceTest {
 protected:
  // The item on the Today screen, its settings as given.
  void start(DWORD language, DWORD iconSize) {
    storeSetting("Language", language);
    storeSetting("IconSize", iconSize);
    storePath("\\Windows\\wmplayer.exe");
    registerItem();
    session.startToday();
    ASSERT_TRUE(item());
  }
  // Screen point of a point of the page's client area.
  POINT onPage(int x, int y) {
    POINT p{x, y};
    ClientToScreen(openDialogWindow(), &p);
    return p;
  }
};

// The page's caption and the heading it draws in each language.
struct PageTexts {
  DWORD language;
  const char16_t* caption;
  const char* heading;  // quoted, as the trace shows it
};
const PageTexts kEnglish{0, u"Settings", "\"Today: WMP Crestune Options\""};
const PageTexts kSpanish{1, u"Configuración", "\"Hoy: WMP Crestune Opciones\""};

TEST_F(Options, TheHeadingIsDrawnInTheItemsLanguageAboveTheRule) {
  for (const PageTexts* want : {&kEnglish, &kSpanish}) {
    SCOPED_TRACE(wince::narrow(want->caption));
    session.stopToday();
    start(want->language, 1);
    traceOn();
    INT_PTR result = openOptions({[&] {
      traceOff();
      ASSERT_TRUE(openDialogWindow());
      // The heading in dark blue in the band above the rule...
      auto& s = device().screen();
      POINT band = onPage(0, 0), rule = onPage(0, 23);
      int blue = 0;
      for (int y = band.y; y < rule.y; ++y)
        for (int x = 0; x < s.width; ++x) blue += (s.at(x, y) & 0xFFFFFF) == kHeadingBlue;
      EXPECT_GT(blue, 20);
      // ...and a black rule across the whole screen beneath it.
      for (int x = 0; x < s.width; ++x)
        if ((s.at(x, rule.y) & 0xFFFFFF) != 0) {
          ADD_FAILURE() << "the rule misses x " << x;
          break;
        }
      EXPECT_EQ(0x00FFFFFFu, s.at(120, rule.y + 1) & 0xFFFFFF);
      queueTapOnControl(kCancel);
    }});
    EXPECT_EQ(kCancel, result);
    const auto& shown = windows().dialogsShown();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(want->caption, shown.back().title);
    bool headingDrawn = false;
    for (const auto& e : device().trace().entries())
      headingDrawn |= e.name == "DrawTextW" && e.call.find(want->heading) != std::string::npos;
    EXPECT_TRUE(headingDrawn) << want->heading;
  }
}

TEST_F(Options, TheScreenShowsTheBlueUnderlinedLinkAndTheCheckedRadio) {
  start(0, 1);
  INT_PTR result = openOptions({[&] {
    windows().runUntilIdle();
    auto& screen = device().screen();
    auto rectOf = [&](int id) {
      RECT r;
      GetWindowRect(GetDlgItem(openDialogWindow(), id), &r);
      return r;
    };
    // The link: pure blue text, and a row of it long enough to be the
    // underline.
    RECT link = rectOf(kLink);
    int blue = 0, longestRun = 0;
    for (int y = link.top; y < link.bottom; ++y) {
      int run = 0;
      for (int x = link.left; x < link.right; ++x) {
        bool isBlue = (screen.at(x, y) & 0xFFFFFF) == 0x0000FF;
        blue += isBlue;
        run = isBlue ? run + 1 : 0;
        longestRun = std::max(longestRun, run);
      }
    }
    EXPECT_GT(blue, 20);
    EXPECT_GT(longestRun, 40) << "no underline under the link";
    // The radio buttons: the checked one has a dark dot in its circle, the
    // other does not.
    auto darkInCircle = [&](int id) {
      RECT r = rectOf(id);
      int dark = 0;
      int cy = (r.top + r.bottom) / 2;
      for (int y = cy - 2; y <= cy + 2; ++y)
        for (int x = r.left + 2; x < r.left + 10; ++x) dark += (screen.at(x, y) & 0xFF) < 0x60;
      return dark;
    };
    EXPECT_GT(darkInCircle(kLarge), darkInCircle(kStandard) + 4);
    queueTapOnControl(kCancel);
  }});
  EXPECT_EQ(kCancel, result);
}

// The link and Browse as the device's shell sees them: the default verb,
// no mask, no owner, shown normally; the open-file dialog with its title,
// MAX_PATH and OFN_EXPLORER, its filter, and the page as its owner.
TEST_F(Options, TheLinkAndBrowseCallTheShellAsTheDeviceExpects) {
  start(0, 1);
  traceOn();
  openOptions({[&] { queueTapOnControl(kLink); },
               [&] { queueTapOnControl(kBrowse); },
               [&] { device().input().push(wince::InputEvent{wince::InputEvent::Kind::CancelFile, {}, 0, 0, {}}); },
               [&] { queueTapOnControl(kCancel); }});
  Calls calls = traceOff();
  Calls shell;
  for (const std::string& c : calls)
    if (starts(c, "ShellExecuteEx(") || starts(c, "GetOpenFileNameW(")) shell.push_back(c);
  ASSERT_EQ(2u, shell.size()) << text(calls);
  EXPECT_EQ("ShellExecuteEx(NULL, \"mailto:team@crestune.org\", 0, NULL, 1) = 1", shell[0]);
  EXPECT_NE(std::string::npos, shell[1].find(", \"Open File\", 260, 524288)")) << shell[1];
  const auto& files = device().shell().shownOpenFileDialogs();
  ASSERT_EQ(1u, files.size());
  EXPECT_EQ(u"Windows Media Player", files[0].filterName);
  EXPECT_EQ(u"*.EXE", files[0].pattern);
  EXPECT_EQ(windows().dialogsShown().back().window, files[0].owner);
}

// A device of twice the density: the fonts double with it.
TEST(OptionsHighDensity, FontsAreTwiceAsTall) {
  wince::DeviceOptions o;
  o.dpi = 192;
  o.screenWidth = 480;
  o.screenHeight = 640;
  o.romFolder = Session::romFolder();
  wince::Device device(o);
  // The page run straight from the library, as the Today settings can run
  // it before any item window exists: ordinal 241 is its dialog procedure
  // and resource 500 its template.
  HMODULE library = LoadLibraryW(u"crestitem.dll");
  ASSERT_TRUE(library);
  auto proc = reinterpret_cast<DLGPROC>(
      reinterpret_cast<void (*)()>(GetProcAddress(library, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(241)))));
  ASSERT_TRUE(proc);
  auto open = [&] {
    return DialogBoxParamW(reinterpret_cast<HINSTANCE>(library), MAKEINTRESOURCE(500), nullptr, proc, 0);
  };
  INT_PTR result = whileOpen(device, open, {[&] {
    for (int id : {kDisplayLabel, kLink}) {
      LOGFONTW lf{};
      HGDIOBJ f = reinterpret_cast<HGDIOBJ>(SendMessageW(GetDlgItem(openDialogWindow(device), id), WM_GETFONT, 0, 0));
      EXPECT_EQ(static_cast<int>(sizeof lf), GetObjectW(f, sizeof lf, &lf)) << "control " << id << " has no font";
      EXPECT_EQ(-22, lf.lfHeight) << id;
      EXPECT_EQ(id == kLink ? 1 : 0, lf.lfUnderline) << id;
    }
    queueTapOnControl(device, kCancel);
  }});
  EXPECT_EQ(kCancel, result);
  FreeLibrary(library);
  EXPECT_TRUE(device.takeProblems().empty());
}

}  // namespace
}  // namespace crestune::testing
