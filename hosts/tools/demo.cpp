#include "demo.h"

#include "product_names.h"

namespace crestune {

std::vector<std::string> demoScript(bool spanish) {
  std::string mute = spanish ? "Silencio" : "Mute";
  std::string close = spanish ? "\"Cerrar Windows Media Player\"" : "\"Close Windows Media Player\"";
  const std::string item = "\"" + itemName() + "\"";
  const std::string settings = "\"" + settingsKeyPath() + "\"";
  std::vector<std::string> s = {
      "today start",
      "step \"A fresh Pocket PC: the Today screen\"",
      "install",
      // While the language dialog is open:
      "step \"Installing: Choose Setup Language\"",
  };
  if (spanish) {
    s.insert(s.end(), {"control tap 1000", "list choose Español",
                       "check control 1001 text \"Seleccione uno de los siguientes idiomas para la instalación.\"",
                       "step \"Español chosen: the dialog speaks Spanish\""});
  }
  s.insert(s.end(), {
      "control tap 1",
      "check installed",
      "reg check " + settings + " Language dword " + (spanish ? "1" : "0"),
      "check item " + item + " shown",
      "check height " + item + " 20",
      "step \"Installed: the item's title view\"",
      "tap 120 56",
      "check running player",
      "step \"A tap on the title starts the player\"",
      "tap 221 39",
      "wait 2000",
      "check height " + item + " 28",
      "step \"Back on Today: the five buttons\"",
      "pen down 41 60",
      "step \"Play pressed\"",
      "pen up 41 60",
      "check player 0x80C8",
      "tap 137 60",
      "check player 0x80CC",
      "step \"Next\"",
      "tap 65 60",
      "check player 0x80C9",
      "step \"Pause\"",
      "hold 200 60 1000",
      "step \"Tap-and-hold: the context menu\"",
      "menu choose " + mute,
      "check player 0x8037",
      "step \"" + mute + "\"",
      "options open " + item,
      "step \"The options page\"",
      "control tap 1009",
      "check control 1009 checked",
      "step \"Large buttons chosen\"",
      "options ok",
      "check result 1",
      "reg check " + settings + " IconSize dword 1",
      "wait 2000",
      "check height " + item + " 36",
      "step \"After the next refresh: the larger Play button\"",
      "options open " + item,
      "control tap 1006",
      "step \"Standard buttons chosen\"",
      "options ok",
      "reg check " + settings + " IconSize dword 0",
      "wait 2000",
      "check height " + item + " 28",
      "step \"After the next refresh: the smaller item\"",
      "hold 200 60 1000",
      "menu choose " + close,
      "check player 0x80CA 0x0010",
      "check stopped player",
      "wait 2000",
      "check height " + item + " 20",
      "step \"Player closed: the title view again\"",
      "uninstall",
      "check installed",
      "check item " + item + " absent",
      "reg check " + settings + " missing",
      "step \"Uninstalled: the item is gone\"",
      std::string("sheet contact-sheet.png \"Crestune on the emulated Pocket PC") + (spanish ? " (Español)" : "") + "\"",
      // Four moments side by side: the title view, the buttons, the menu and
      // the options page.
      std::string("sheet highlights.png \"Crestune on the emulated Pocket PC\" ") + (spanish ? "4 6 10 12" : "3 5 9 11"),
      "transcript transcript.txt",
  });
  return s;
}

}  // namespace crestune
