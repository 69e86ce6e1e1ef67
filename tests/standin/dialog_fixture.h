// Shared set-up of the host-only dialog and control tests: the dialog
// fixture of the API tests on a device the test can reach into, with pen,
// key and list input and a look at the screen.
#pragma once
#include "conformance/fixture.h"
#include "device.h"
#include "gdi_fixture.h"
#include "shell_state.h"
#include "window_manager.h"

class DialogTest : public ApiDialogTest, protected ScreenReading {
 protected:
  explicit DialogTest(wince::DeviceOptions options = {})
      : ApiDialogTest(std::move(options)), ScreenReading(platform.device) {}

  wince::Device& dev = platform.device;

  // An event of the person's for the device's input queue.
  void push(wince::InputEvent::Kind kind, std::u16string text = {}, POINT p = {}) {
    dev.input().push(wince::InputEvent{kind, p, 0, 0, std::move(text)});
  }
  void pen(wince::InputEvent::Kind kind, POINT p) { push(kind, {}, p); }
  void tap(POINT p) {
    pen(wince::InputEvent::Kind::PenDown, p);
    pen(wince::InputEvent::Kind::PenUp, p);
  }
  static POINT centre(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void tap(HWND control) { tap(centre(control)); }
  void type(const std::u16string& text) { push(wince::InputEvent::Kind::Char, text); }
  void key(int vk) { dev.input().push(wince::InputEvent{wince::InputEvent::Kind::Key, {}, 0, vk, {}}); }
  void chooseList(const std::u16string& text) { push(wince::InputEvent::Kind::ChooseList, text); }

  int live(wince::ObjectKind k) { return dev.accounting().live(k); }
};
