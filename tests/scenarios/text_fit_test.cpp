// Stand-in only (its Tahoma and screen).
// Text that must show whole on the 240-pixel screen in the device's Tahoma:
// the options page's credit lines in their controls, and the language
// chooser's Spanish caption in its caption bar.
#include "fixture.h"

#include "device.h"
#include "installer.h"

namespace crestune::testing {
namespace {

// The width a text takes in a font (null: the DC's own) on the screen's DC.
int extent(HFONT font, const std::u16string& text) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  if (old) SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return size.cx;
}

// The last column of a screen rectangle holding a pixel that `ink` says
// is the text's, as an offset from the rectangle's left; -1 when none does.
template <typename Ink>
int lastInkColumn(const wince::Screen& s, RECT r, Ink ink) {
  for (int x = r.right - 1; x >= r.left; --x)
    for (int y = r.top; y < r.bottom; ++y)
      if (ink(s.at(x, y) & 0xFFFFFF)) return x - r.left;
  return -1;
}

bool darkInk(uint32_t c) { return ((c >> 16 & 0xFF) + (c >> 8 & 0xFF) + (c & 0xFF)) < 3 * 160; }
bool whiteInk(uint32_t c) { return (c >> 16 & 0xFF) > 160; }

TEST_F(DeviceTest, EveryCreditLineShowsWholeInItsControl) {
  reg().setValue(kSettingsKey, "Language", REG_DWORD, wince::RegistryStore::dwordBytes(0));
  registerItem();
  session.startToday();
  ASSERT_TRUE(item());
  whileOpen([&] { return session.today()->openOptions(kItemName); },
            {[&] {
               HWND page = openDialogWindow();
               ASSERT_TRUE(page);
               // Title, version, copyright, contact link.
               for (int id : {1011, 1012, 1013, 1014}) {
                 HWND control = GetDlgItem(page, id);
                 std::u16string text = windowText(control);
                 SCOPED_TRACE(wince::narrow(text));
                 RECT r;
                 GetWindowRect(control, &r);
                 int width = extent(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), text);
                 EXPECT_LE(width, r.right - r.left) << "the text is wider than its control";
                 // The last glyph's ink ends within a pixel or two of the
                 // text's extent: nothing of the line was left out.
                 int last = lastInkColumn(device().screen(), r, darkInk);
                 EXPECT_GE(last, width - 3);
                 EXPECT_LT(last, r.right - r.left);
               }
               PostMessageW(page, WM_CLOSE, 0, 0);
             }});
}

TEST_F(DeviceTest, TheLanguageChoosersSpanishCaptionShowsWhole) {
  Installer installer;
  whileOpen([&] { return installer.install(), INT_PTR{0}; },
            {[&] { queueTapOnControl(1000); },
             [&] { device().input().push({wince::InputEvent::Kind::ChooseList, {}, 0, 0, u"Español"}); },
             [&] {
               HWND chooser = openDialogWindow();
               ASSERT_EQ(u"Selección de Idioma de Configuración", windowText(chooser));
               RECT window, client;
               GetWindowRect(chooser, &window);
               GetClientRect(chooser, &client);
               POINT origin{0, 0};
               ClientToScreen(chooser, &origin);
               // The caption bar: below the border, above the client area;
               // its text starts 5 pixels in and may run to 4 before the edge.
               RECT bar{window.left + 5, window.top + 1, window.right - 4, origin.y};
               ASSERT_GT(bar.bottom, bar.top) << "no caption bar";
               // Measured in a DC's own font, the one the caption bar is drawn in.
               int width = extent(nullptr, windowText(chooser));
               EXPECT_LE(width, bar.right - bar.left) << "the caption is wider than its bar";
               EXPECT_GE(lastInkColumn(device().screen(), bar, whiteInk), width - 3) << "the caption is cut";
               queueTapOnControl(IDCANCEL);
             }});
}

}  // namespace
}  // namespace crestune::testing
