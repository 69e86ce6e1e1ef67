// What the system's controls put on the stand-in's screen and hold of its
// objects: a static's text in the colours its parent answers, and an icon
// static's icon, loaded from the dialog's module and freed with it.
#include "dialog_fixture.h"
#include "resources_testdata.h"

namespace {

using wince::ObjectKind;

// That the parent is asked, and that its brush fills the static, is checked
// in the conformance tests; here the text on the screen.
TEST_F(DialogTest, StaticTextTakesTheColoursItsParentAnswers) {
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 160, 80, u"Colours");
  t.item(kStaticClass, kChild | SS_NOTIFY | WS_GROUP, 6, 10, 120, 12, 1014, u"someone@example.com");
  t.item(kStaticClass, kChild | WS_GROUP, 6, 40, 120, 12, 1013, u"Copyright");
  HBRUSH yellow = CreateSolidBrush(RGB(255, 255, 0));
  handler = [&](HWND, UINT msg, WPARAM wp, LPARAM lp) -> INT_PTR {
    if (msg == WM_INITDIALOG) return TRUE;
    if (msg == WM_CTLCOLORSTATIC) {
      if (GetDlgCtrlID(reinterpret_cast<HWND>(lp)) != 1014) return 0;
      SetBkMode(reinterpret_cast<HDC>(wp), TRANSPARENT);
      SetTextColor(reinterpret_cast<HDC>(wp), RGB(0, 0, 255));
      return reinterpret_cast<INT_PTR>(yellow);
    }
    return FALSE;
  };
  auto count = [&](RECT r, auto pred) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += pred(px(x, y));
    return n;
  };
  auto blueish = [](uint32_t c) { return (c & 0xFF) > 0x80 && ((c >> 16) & 0xFF) < 0x60; };
  steps = {[&](HWND h) {
    RECT link, other;
    GetWindowRect(GetDlgItem(h, 1014), &link);
    GetWindowRect(GetDlgItem(h, 1013), &other);
    EXPECT_GT(count(link, blueish), 10) << "blue text";
    EXPECT_EQ(px(other.right - 2, other.bottom - 2), kWhite) << "zero: the default background";
    EXPECT_EQ(count(other, blueish), 0) << "and black text";
    EXPECT_GT(ink(other), 10);
    EndDialog(h, 1);
  }};
  EXPECT_EQ(run(t), 1);
  DeleteObject(yellow);
}

TEST_F(DialogTest, IconStaticLoadsItsIconFromTheDialogsModule) {
  std::vector<unsigned char> bytes = testResources();
  ASSERT_FALSE(bytes.empty());
  const HMODULE module = reinterpret_cast<HMODULE>(uintptr_t{0x7D000000});
  dev.addResourceModule(module, bytes.data(), bytes.size());
  const int icons = live(ObjectKind::Icon);
  DialogTemplate t(WS_POPUP | WS_VISIBLE | DS_SETFONT, 0, 0, 143, 70, u"Icon");
  t.item(kStaticClass, kChild | SS_ICON, 4, 5, 20, 20, 0xFFFF, u"", 102);
  steps = {[&](HWND h) {
             HWND icon = GetDlgItem(h, 0xFFFF);
             ASSERT_NE(icon, nullptr);
             EXPECT_NE(SendMessageW(icon, STM_GETICON, 0, 0), 0);
             RECT r;
             GetWindowRect(icon, &r);
             EXPECT_EQ(r.right - r.left, 32);
             EXPECT_EQ(r.bottom - r.top, 32);
             EXPECT_GT(ink(r), 100) << "the icon is drawn";
             EXPECT_EQ(live(ObjectKind::Icon), icons + 1);
             EndDialog(h, 1);
           }};
  EXPECT_EQ(run(t, nullptr, 0, module), 1);
  EXPECT_EQ(live(ObjectKind::Icon), icons) << "the control frees the icon it loaded";
  dev.removeResourceModule(module);
}

}  // namespace
