// The product's names in the registry as the hosts write them (key paths for
// the registry store, names in scripts), taken from the libraries' own
// common header so that the hosts and the product cannot disagree.
#pragma once
#include <string>

#include "device.h"
#include "settings_keys.h"

namespace crestune {

// "WMP Crestune": the name the Today item is registered under.
inline std::string itemName() { return wince::narrow(ITEM_NAME); }
// "HKLM\SOFTWARE\...": the item's settings key.
inline std::string settingsKeyPath() { return "HKLM\\" + wince::narrow(SETTINGS_KEY); }
// "HKLM\Software\Microsoft\Today\Items\<name>": where a Today item is registered.
inline std::string todayItemKeyPath(const std::string& name) {
  std::string format = wince::narrow(ITEM_KEY_FORMAT);
  return "HKLM\\" + format.replace(format.find("%s"), 2, name);
}

}  // namespace crestune
