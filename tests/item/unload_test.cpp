// Unloading the item library while the process exits: a class it cannot
// unregister is reported when the library is freed (tests/scenarios), but
// never at exit, when a box shown under the loader lock can hang the shell.
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

TEST(Unload, NoBoxWhileTheProcessExits) {
  std::optional<std::u16string> shown;
  {
    wince::DeviceOptions options;
    const char* lib = std::getenv("CRESTUNE_LIB_DIR");
    options.romFolder = lib ? lib : "";
    wince::Device device(options);
    // The library loaded, its item created under a host window and
    // destroyed again, then the item's class taken away so that unloading
    // cannot unregister it.
    HMODULE library = LoadLibraryW(u"crestitem.dll");
    ASSERT_TRUE(library);
    auto create = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
        reinterpret_cast<void (*)()>(GetProcAddress(library, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(240)))));
    ASSERT_TRUE(create);
    WNDCLASSW hostClass{};
    hostClass.lpfnWndProc = DefWindowProcW;
    hostClass.lpszClassName = u"UnloadTestHost";
    RegisterClassW(&hostClass);
    HWND host =
        CreateWindowExW(0, u"UnloadTestHost", u"host", WS_VISIBLE, 0, 0, 240, 100, nullptr, nullptr, nullptr, nullptr);
    TODAYLISTITEM record{};
    record.fEnabled = TRUE;
    HWND item = create(&record, host);
    EXPECT_TRUE(item);
    DestroyWindow(item);
    DestroyWindow(host);
    UnregisterClassW(u"UnloadTestHost", nullptr);
    EXPECT_TRUE(UnregisterClassW(kItemClass, reinterpret_cast<HINSTANCE>(library)));
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
