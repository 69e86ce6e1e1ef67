// What the system's controls hold of the stand-in's objects: an icon
// static's icon, loaded from the dialog's module, drawn, and freed with it
// (that it is loaded and sized is a conformance test, library_test.cpp).
#include "dialog_fixture.h"
#include "resources_testdata.h"

namespace {

using wince::ObjectKind;

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
