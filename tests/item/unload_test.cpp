// Unloading the item library: a class it cannot unregister is reported when
// the library is freed, and never while the process exits, when a box shown
// under the loader lock can hang the shell.
#include <gtest/gtest.h>
#include <todaycmn.h>
#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "device.h"
#include "window_manager.h"

namespace {

const char16_t* const kItemClass = u"_WMPCrestuneClass";  // the item's own class name

class Unload : public ::testing::Test {
 protected:
  static wince::DeviceOptions options() {
    wince::DeviceOptions o;
    const char* lib = std::getenv("CRESTUNE_LIB_DIR");
    o.romFolder = lib ? lib : "";
    return o;
  }
  // Loads the library, creates its item under a host window and destroys
  // it again, then takes the item's class away so that unloading cannot
  // unregister it. Answers the library, still loaded.
  HMODULE loadWithClassGone() {
    HMODULE library = LoadLibraryW(u"crestitem.dll");
    EXPECT_TRUE(library);
    if (!library) return nullptr;
    auto create = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(240)))));
    EXPECT_TRUE(create);
    WNDCLASSW hostClass{};
    hostClass.lpfnWndProc = DefWindowProcW;
    hostClass.lpszClassName = u"UnloadTestHost";
    RegisterClassW(&hostClass);
    HWND host =
        CreateWindowExW(0, u"UnloadTestHost", u"host", WS_VISIBLE, 0, 0, 240, 100, nullptr, nullptr, nullptr, nullptr);
    TODAYLISTITEM record{};
    record.fEnabled = TRUE;
    HWND item = create ? create(&record, host) : nullptr;
    EXPECT_TRUE(item);
    DestroyWindow(item);
    DestroyWindow(host);
    UnregisterClassW(u"UnloadTestHost", nullptr);
    EXPECT_TRUE(UnregisterClassW(kItemClass, reinterpret_cast<HINSTANCE>(library)));
    return library;
  }
};

TEST_F(Unload, FreeingTheLibraryReportsTheClassItCouldNotUnregister) {
  wince::Device device(options());
  HMODULE library = loadWithClassGone();
  device.input().push(wince::InputEvent{wince::InputEvent::Kind::AnswerBox, {}, 0, IDOK, {}});
  EXPECT_TRUE(FreeLibrary(library));
  const auto& boxes = device.windows().messageBoxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(u"UnregisterClass()", boxes[0].text);
  EXPECT_EQ(nullptr, boxes[0].owner);
  EXPECT_EQ(static_cast<UINT>(MB_OK), boxes[0].type);
}

TEST_F(Unload, NoBoxWhileTheProcessExits) {
  std::optional<std::u16string> shown;
  {
    wince::Device device(options());
    loadWithClassGone();
    // Still loaded when the device shuts down: detached as at process exit.
    // A box would wait for an answer, and ask for one here.
    device.input().setFeeder([&] {
      if (const auto* box = wince::Device::current().windows().openMessageBox()) shown = box->text;
      wince::Device::current().input().push(wince::InputEvent{wince::InputEvent::Kind::AnswerBox, {}, 0, IDOK, {}});
      return true;
    });
  }
  EXPECT_FALSE(shown) << "shown at exit: " << wince::narrow(*shown);
}

}  // namespace
