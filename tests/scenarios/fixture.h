// A fresh emulated device with the Crestune item registered, its Today
// screen, its player, and helpers to act as the person holding it.
#pragma once
#include <gtest/gtest.h>

#include "registry/store.h"
#include "session.h"
#include "user/window_manager.h"

namespace crestune::testing {

inline const char* kSettingsKey = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";
inline const char* kItemKey = "HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune";
inline const char16_t* kItemName = u"WMP Crestune";

class DeviceTest : public ::testing::Test {
 protected:
  Session session;
  wince::Device& device() { return session.device(); }
  wince::RegistryStore& reg() { return device().registry(); }
  wince::WindowManager& windows() { return device().windows(); }

  void registerItem(DWORD enabled = 1) {
    reg().setValue(kItemKey, "DLL", REG_SZ, wince::RegistryStore::stringBytes("crestitem.dll"));
    reg().setValue(kItemKey, "Enabled", REG_DWORD, wince::RegistryStore::dwordBytes(enabled));
    reg().setValue(kItemKey, "Options", REG_DWORD, wince::RegistryStore::dwordBytes(1));
    reg().setValue(kItemKey, "Order", REG_DWORD, wince::RegistryStore::dwordBytes(10));
    reg().setValue(kItemKey, "Type", REG_DWORD, wince::RegistryStore::dwordBytes(4));
  }
  void setIconSize(DWORD v) { reg().setValue(kSettingsKey, "IconSize", REG_DWORD, wince::RegistryStore::dwordBytes(v)); }
  TodayShell::Item* item() { return session.today() ? session.today()->find(kItemName) : nullptr; }
  // Time passes until the Today shell's next refresh query.
  void nextRefresh() { windows().wait(TodayShell::kRefreshMs); }
  void input(wince::InputEvent::Kind kind, int x, int y) {
    device().input().push(wince::InputEvent{kind, POINT{x, y}, 0, 0, {}});
  }
  void wait(uint64_t ms) { device().input().push(wince::InputEvent{wince::InputEvent::Kind::Wait, {}, ms, 0, {}}); }
  void tap(int x, int y) {
    input(wince::InputEvent::Kind::PenDown, x, y);
    wait(50);
    input(wince::InputEvent::Kind::PenUp, x, y);
    windows().runUntilIdle();
  }
  void hold(int x, int y, uint64_t ms = 1000) {
    input(wince::InputEvent::Kind::PenDown, x, y);
    wait(ms);
    input(wince::InputEvent::Kind::PenUp, x, y);
  }
  // Screen point of a point of the item window.
  POINT onItem(int x, int y) {
    RECT r;
    GetWindowRect(item()->record.hwndCustom, &r);
    return POINT{r.left + x, r.top + y};
  }
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
};

}  // namespace crestune::testing
