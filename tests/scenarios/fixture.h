// Stand-in only (the device and its hosts: Today shell, player, installer).
// A fresh emulated device with the Crestune item registered, its Today
// screen, its player, and helpers to act as the person holding it.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "registry_store.h"
#include "session.h"
#include "shell_state.h"
#include "window_manager.h"

namespace crestune::testing {

// The registry keys and the item's name are spelt out in the tests, here and
// in the item and setup tests, and not taken from the libraries' shared
// headers in common/ on purpose: a test that used the product's constant
// could not catch a wrong one.
inline const char* kSettingsKey = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";
inline const char* kItemKey = "HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune";
inline const char16_t* kItemName = u"WMP Crestune";

// Platform calls as the device's trace records them: "Name(args) = result".
using Calls = std::vector<std::string>;
inline bool starts(const std::string& call, const std::string& prefix) { return call.rfind(prefix, 0) == 0; }

// The person's hand while a modal dialog runs: `open` runs the dialog, and
// each time the device waits for input the next action runs (it may queue
// input, send messages, or look at the screen). An action that ends the
// dialog is the last one to run. Answers what `open` answers.
using HandAction = std::function<void()>;
inline INT_PTR whileOpen(wince::Device& device, const std::function<INT_PTR()>& open,
                         const std::vector<HandAction>& actions) {
  size_t next = 0;
  auto& in = device.input();
  in.setFeeder([&] {
    if (next >= actions.size()) return false;
    actions[next++]();
    // Something for the loop to take, so that it looks again whether the
    // action ended it.
    if (in.empty()) in.push(wince::InputEvent{wince::InputEvent::Kind::Wait, {}, 0, 0, {}});
    return true;
  });
  INT_PTR result = open();
  in.setFeeder(nullptr);
  EXPECT_EQ(actions.size(), next) << "the dialog closed before the hand had done";
  in.clear();
  return result;
}

// A tap queued for a modal loop to take; held `ms` long, it is a
// tap-and-hold.
inline void queueTap(wince::Device& device, POINT p, uint64_t ms = 50) {
  auto& in = device.input();
  in.push(wince::InputEvent{wince::InputEvent::Kind::PenDown, p, 0, 0, {}});
  in.push(wince::InputEvent{wince::InputEvent::Kind::Wait, {}, ms, 0, {}});
  in.push(wince::InputEvent{wince::InputEvent::Kind::PenUp, p, 0, 0, {}});
}

// The innermost modal dialog on the screen now, or null.
inline HWND openDialogWindow(wince::Device& device) {
  const auto* d = device.windows().openDialog();
  return d ? d->window : nullptr;
}

// A tap queued on the middle of a control of the open dialog.
inline void queueTapOnControl(wince::Device& device, int id) {
  HWND c = GetDlgItem(openDialogWindow(device), id);
  EXPECT_TRUE(c) << "no control " << id << " in the open dialog";
  RECT r{};
  GetWindowRect(c, &r);
  queueTap(device, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

inline std::u16string windowText(HWND h) {
  char16_t buf[2048] = {};
  GetWindowTextW(h, buf, 2048);
  return buf;
}

// The two layouts of the item's buttons: a large Play button (IconSize 1,
// and an item with no settings at all) or five buttons alike.
enum class IconSize { Large, Standard };

class DeviceTest : public ::testing::Test {
 protected:
  // The device build (ARM, on the emulated processor) unless a test needs
  // the host build.
  explicit DeviceTest(Build build = Build::Arm) : session({}, build) {}
  Session session;
  wince::Device& device() { return session.device(); }
  wince::RegistryStore& reg() { return device().registry(); }
  wince::WindowManager& windows() { return device().windows(); }

  void registerItem(DWORD enabled = 1) { registerTodayItem(reg(), "WMP Crestune", "crestitem.dll", enabled); }
  void storeSetting(const char* name, DWORD v) {
    reg().setValue(kSettingsKey, name, REG_DWORD, wince::RegistryStore::dwordBytes(v));
  }
  void storePath(const std::string& path) {
    reg().setValue(kSettingsKey, "WMPApplication", REG_SZ, wince::RegistryStore::stringBytes(path));
  }
  // Failures planned for the product's next platform calls.
  wince::FaultPlan& plan() { return device().faults(); }
  // The live objects of each kind, as one line to compare before and after.
  std::string liveObjects() { return device().accounting().report(); }
  TodayShell::Item* item() { return session.today() ? session.today()->find(kItemName) : nullptr; }
  // Time passes until the Today shell's next refresh query.
  void nextRefresh() { windows().wait(TodayShell::kRefreshMs); }
  void input(wince::InputEvent::Kind kind, int x, int y) {
    device().input().push(wince::InputEvent{kind, POINT{x, y}, 0, 0, {}});
  }
  void tap(int x, int y) {
    testing::queueTap(device(), POINT{x, y});
    windows().runUntilIdle();
  }
  void hold(int x, int y, uint64_t ms = 1000) { testing::queueTap(device(), POINT{x, y}, ms); }
  // Screen point of a point of the item window.
  POINT onItem(int x, int y) {
    RECT r;
    GetWindowRect(item()->record.hwndCustom, &r);
    return POINT{r.left + x, r.top + y};
  }
  struct Box {
    int left, top, right, bottom;
  };
  // The item's buttons, Play, Pause, Stop, Previous, Next, in the item
  // window's coordinates: side by side from x 29, each as wide and tall as
  // its icon (Play 32 when large, all others 24), centred down an item 4
  // taller than Play. Neighbours share an edge.
  static const std::vector<Box>& buttons(IconSize size = IconSize::Large) {
    static const std::vector<Box> large = {
        {29, 2, 61, 34}, {61, 6, 85, 30}, {85, 6, 109, 30}, {109, 6, 133, 30}, {133, 6, 157, 30}};
    static const std::vector<Box> standard = {
        {29, 2, 53, 26}, {53, 2, 77, 26}, {77, 2, 101, 26}, {101, 2, 125, 26}, {125, 2, 149, 26}};
    return size == IconSize::Large ? large : standard;
  }
  static DWORD itemHeight(IconSize size) { return size == IconSize::Large ? 36 : 28; }
  // Centre of a button, in screen coordinates, after the item has painted
  // at the height of that layout.
  POINT centre(int index, IconSize size = IconSize::Large) {
    windows().runUntilIdle();
    EXPECT_EQ(itemHeight(size), item()->record.cyp) << "the item's height with these buttons";
    const Box& b = buttons(size).at(static_cast<size_t>(index));
    return onItem((b.left + b.right) / 2, (b.top + b.bottom) / 2);
  }
  // A tap-and-hold queued on the empty space beside the buttons, halfway
  // down the item, and the person's answer to the menu it opens (ChooseMenu
  // with the entry, or DismissMenu). Answers the point held.
  POINT queueMenuAnswer(wince::InputEvent::Kind answer, const std::u16string& entry = {}) {
    POINT p = onItem(200, static_cast<int>(item()->record.cyp) / 2);
    hold(p.x, p.y);
    device().input().push(wince::InputEvent{answer, {}, 0, 0, entry});
    return p;
  }
  // A modal dialog run with the person's hand doing `actions` (see whileOpen).
  INT_PTR whileOpen(const std::function<INT_PTR()>& open, const std::vector<HandAction>& actions) {
    return testing::whileOpen(device(), open, actions);
  }
  // The item's options page, opened from the Today settings as the shell
  // opens it, with the person's hand doing `actions`.
  INT_PTR openOptions(const std::vector<HandAction>& actions) {
    return whileOpen([&] { return session.today()->openOptions(kItemName); }, actions);
  }
  void queueTapOnControl(int id) { testing::queueTapOnControl(device(), id); }
  // The "ok" that SHInitDialog puts in the navigation bar of a full-screen dialog.
  void queueTapOnDone() {
    RECT r = device().shell().doneButtonRect();
    testing::queueTap(device(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
  }
  HWND openDialogWindow() { return testing::openDialogWindow(device()); }
  std::vector<UINT> received() {
    std::vector<UINT> codes;
    for (const auto& m : session.player().takeNew()) codes.push_back(m.message);
    return codes;
  }
  // Starts the shell with the player running, so the buttons show.
  void startWithPlayer() {
    registerItem();
    session.startToday();
    session.player().start();
    nextRefresh();
    session.player().takeNew();
  }

  // Records the platform calls the product libraries make from here on.
  void traceOn() {
    device().trace().clear();
    device().trace().enable(true);
  }
  // The calls recorded since traceOn(), the dialog manager's messages that
  // only pass through DefWindowProcW left out.
  Calls traceOff() {
    device().trace().enable(false);
    Calls calls;
    for (const auto& e : device().trace().entries())
      if (e.name != "DefWindowProcW") calls.push_back(e.call);
    return calls;
  }
  // One call a line, for failure messages.
  static std::string text(const Calls& calls) {
    std::string s;
    for (const std::string& c : calls) s += c + "\n";
    return s;
  }
};

// A DeviceTest that fails when the device saw the product misuse the
// platform (the problems it reports) during the test.
class StrictDeviceTest : public DeviceTest {
 protected:
  using DeviceTest::DeviceTest;
  void TearDown() override {
    for (const std::string& p : device().takeProblems()) ADD_FAILURE() << p;
  }
};

}  // namespace crestune::testing
