// The tables: what the item and setup call, in order, for each case. Rows
// name the call, its text and numbers as product_orders.cpp says for each
// call; handles and pointers are never compared (kAny...).
#include <windows.h>

#include <todaycmn.h>

#include "product_orders.h"

namespace orders {
namespace {

// WM_SETTINGCHANGE's wParam that has the Today screen read its items again.
constexpr WPARAM kTodayRefresh = 0xF2;

// Row groups several tables share.
// The settings read: the key opened, its three values, closed.
#define SETTINGS_READ                                                    \
  {"RegOpenKeyExW", "SOFTWARE\\Halvorn\\WMP Crestune", 0, 0, 0, 0},        \
      {"RegQueryValueExW", "IconSize", 0, 0, 0, 0}, {"RegQueryValueExW", "Language", 0, 0, 0, 0}, \
      {"RegQueryValueExW", "WMPApplication", 0, 0, 0, 0}, {"RegCloseKey", nullptr, 0, 0, 0, 0}
// The ten faces loaded, normal then pressed: Play (at `play` pixels), Stop,
// Previous, Next, Pause (at 24).
#define FACES_LOADED(play)                                                                              \
  {"LoadImageW", nullptr, 111, 1, play, 0}, {"LoadImageW", nullptr, 112, 1, play, 0},                   \
      {"LoadImageW", nullptr, 114, 1, 24, 0}, {"LoadImageW", nullptr, 115, 1, 24, 0},                   \
      {"LoadImageW", nullptr, 103, 1, 24, 0}, {"LoadImageW", nullptr, 104, 1, 24, 0},                   \
      {"LoadImageW", nullptr, 106, 1, 24, 0}, {"LoadImageW", nullptr, 107, 1, 24, 0},                   \
      {"LoadImageW", nullptr, 108, 1, 24, 0}, {"LoadImageW", nullptr, 109, 1, 24, 0}
// The ten faces freed in the order they were loaded; `face(i)` the flags of
// the i-th.
#define ANY_FACE(i) 0
#define LOADED_FACE(i) sameAs(kFace + i)
#define FACES_FREED(face)                                                                                   \
  {"DestroyIcon", nullptr, 0, 0, 0, face(0)}, {"DestroyIcon", nullptr, 0, 0, 0, face(1)},                     \
      {"DestroyIcon", nullptr, 0, 0, 0, face(2)}, {"DestroyIcon", nullptr, 0, 0, 0, face(3)},                 \
      {"DestroyIcon", nullptr, 0, 0, 0, face(4)}, {"DestroyIcon", nullptr, 0, 0, 0, face(5)},                 \
      {"DestroyIcon", nullptr, 0, 0, 0, face(6)}, {"DestroyIcon", nullptr, 0, 0, 0, face(7)},                 \
      {"DestroyIcon", nullptr, 0, 0, 0, face(8)}, {"DestroyIcon", nullptr, 0, 0, 0, face(9)}
// A paint's start: the watermark asked for, then the logo loaded (row
// `logo` of its table), drawn and freed.
#define PAINT_LOGO(logo)                                                                                  \
  {"BeginPaint", nullptr, 0, 0, 0, 0}, {"SendMessageW", nullptr, TODAYM_DRAWWATERMARK, 0, 0, kAnyC},        \
      {"LoadImageW", nullptr, 101, 1, 16, 0}, {"DrawIconEx", nullptr, 3, 2, 16, sameAs(logo)},              \
      {"DestroyIcon", nullptr, 0, 0, 0, sameAs(logo)}
// The five buttons drawn in screen order, Play large: Play, Pause, Stop,
// Previous, Next, each with its flags.
#define FACES_DRAWN(play, pause, stop, previous, next)                                                     \
  {"DrawIconEx", nullptr, 29, 4, 32, play}, {"DrawIconEx", nullptr, 61, 8, 24, pause},                      \
      {"DrawIconEx", nullptr, 85, 8, 24, stop}, {"DrawIconEx", nullptr, 109, 8, 24, previous},              \
      {"DrawIconEx", nullptr, 133, 8, 24, next}

// the item starts
const Step kTheItemStarts[] = {
    {"RegOpenKeyExW", "SOFTWARE\\Halvorn\\WMP Crestune", 0, 0, 0, 0},
    FACES_LOADED(32),
    {"ShowWindow", nullptr, 5, 0, 0, 0},
};
// the refresh query, player up or not: the player looked for
const Step kRefresh[] = {
    {"FindWindowW", "Windows Media", 0, 0, 0, 0},
};
// paint, title view
const Step kPaintTitleView[] = {
    PAINT_LOGO(2),
    {"SendMessageW", nullptr, TODAYM_GETCOLOR, 0x10000004, 0, 0},
    {"CreateFontIndirectW", nullptr, 0, 0, 0, 0},
    {"DrawTextW", "Windows Media Player Crestune", 36, 0, 0, 0},
    {"DeleteObject", nullptr, 0, 0, 0, sameAs(6)},
    {"EndPaint", nullptr, 0, 0, 0, 0},
};
// paint, buttons view
const Step kPaintButtonsView[] = {
    PAINT_LOGO(2),
    FACES_DRAWN(0, 0, 0, 0, 0),
    {"EndPaint", nullptr, 0, 0, 0, 0},
};
// A command sent to the player, and nothing else.
#define SENDS(command) {{"SendMessageW", nullptr, command, 0, 0, 0}}
// A tap on a button: the pen captured at pen down, let go at pen up, and the
// button's command sent to the player.
#define TAP_SENDS(command)                                                        \
  {{"SetCapture", nullptr, 0, 0, 0, 0},                                           \
   {"ReleaseCapture", nullptr, 0, 0, 0, 0},                                       \
   {"SendMessageW", nullptr, command, 0, 0, 0}}
const Step kTapPlay[] = TAP_SENDS(0x80c8);
const Step kTapPause[] = TAP_SENDS(0x80c9);
const Step kTapStop[] = TAP_SENDS(0x80ca);
const Step kTapPrevious[] = TAP_SENDS(0x80cb);
const Step kTapNext[] = TAP_SENDS(0x80cc);
// tap the title, player missing
const Step kTapTheTitlePlayerMissing[] = {
    {"SetCapture", nullptr, 0, 0, 0, 0},
    {"ReleaseCapture", nullptr, 0, 0, 0, 0},
    {"ShellExecuteExW", "\\nowhere\\player.exe", 1088, 0, 0, 0},
    {"MessageBoxW", "\"\\nowhere\\player.exe\" no found.", 64, 0, 0, 0},
};
// hold, Mute chosen
const Step kHoldMuteChosen[] = {
    {"SHRecognizeGesture", nullptr, 0, 0, 0, 0},
    {"CreatePopupMenu", nullptr, 0, 0, 0, 0},
    {"AppendMenuW", "Mute", 0, 338, 0, 0},
    {"AppendMenuW", "Volume Up", 0, 339, 0, 0},
    {"AppendMenuW", "Volume Down", 0, 340, 0, 0},
    {"AppendMenuW", "", 2048, 0, 0, 0},
    {"AppendMenuW", "Properties...", 0, 341, 0, 0},
    {"AppendMenuW", "Repeat", 0, 342, 0, 0},
    {"AppendMenuW", "Shuffle", 0, 343, 0, 0},
    {"AppendMenuW", "Playlist...", 0, 346, 0, 0},
    {"AppendMenuW", "Windows Media Player...", 0, 344, 0, 0},
    {"AppendMenuW", "", 2048, 0, 0, 0},
    {"AppendMenuW", "Close Windows Media Player", 0, 345, 0, 0},
    {"SetForegroundWindow", nullptr, 0, 0, 0, 0},
    {"TrackPopupMenuEx", nullptr, 16, 0, 0, 0},
    {"DestroyMenu", nullptr, 0, 0, 0, 0},
    {"SendMessageW", nullptr, 0x8037, 0, 0, 0},
};
// menu Mute
const Step kMenuMute[] = SENDS(0x8037);
// menu Volume Up
const Step kMenuVolumeUp[] = SENDS(0x8038);
// menu Volume Down
const Step kMenuVolumeDown[] = SENDS(0x8039);
// menu Properties
const Step kMenuProperties[] = {
    {"SetForegroundWindow", nullptr, 0, 0, 0, 0},
    {"PostMessageW", nullptr, 0x80d1, 0, 0, 0},
};
// menu Repeat
const Step kMenuRepeat[] = SENDS(0x80ce);
// menu Shuffle
const Step kMenuShuffle[] = SENDS(0x80cd);
// menu Show Player
const Step kMenuShowPlayer[] = {
    {"SetForegroundWindow", nullptr, 0, 0, 0, 0},
};
// menu Close Player
const Step kMenuClosePlayer[] = {
    {"SendMessageW", nullptr, 0x80ca, 0, 0, 0},
    {"SendMessageW", nullptr, WM_CLOSE, 0, 0, 0},
};
// menu Playlist
const Step kMenuPlaylist[] = {
    {"SetForegroundWindow", nullptr, 0, 0, 0, 0},
    {"PostMessageW", nullptr, WM_COMMAND, 0x9c4b, 0x2d14c8, 0},
};
// options page, ok
const Step kOptionsPageOk[] = {
    {"SHInitDialog", nullptr, 1, 5, 0, 0},
    {"SetWindowTextW", "Settings", 0, 0, 0, 0},
    {"SetWindowTextW", "Display:", 0, 0, 0, 0},
    {"SetWindowTextW", "Large Buttons", 0, 0, 0, 0},
    {"SetWindowTextW", "Standard Buttons", 0, 0, 0, 0},
    {"SetWindowTextW", "Windows Media Player Application:", 0, 0, 0, 0},
    {"SetWindowTextW", "Browse...", 0, 0, 0, 0},
    {"SetWindowTextW", "Cancel", 0, 0, 0, 0},
    SETTINGS_READ,
    {"CreateFontIndirectW", nullptr, 0, 0, 0, 0},  // 13: the link's
    {"CreateFontIndirectW", nullptr, 0, 0, 0, 0},  // 14: the headings'
    {"SendMessageW", nullptr, WM_SETFONT, 0, 0, kAnyB | sameAs(14)},  // to 1010
    {"SendMessageW", nullptr, WM_SETFONT, 0, 0, kAnyB | sameAs(14)},  // to 1015
    {"SendMessageW", nullptr, WM_SETFONT, 0, 0, kAnyB | sameAs(13)},  // to 1014
    {"SendMessageW", nullptr, BM_SETCHECK, 1, 0, 0},
    {"SetDlgItemTextW", "\\nowhere\\player.exe", 1017, 0, 0, 0},
    {"SendMessageW", nullptr, BM_GETCHECK, 0, 0, 0},
    {"GetDlgItemTextW", nullptr, 1017, 0, 0, 0},
    {"RegCreateKeyExW", "SOFTWARE\\Halvorn\\WMP Crestune", 0, 0, 0, 0},
    {"RegSetValueExW", "IconSize", 4, 4, 0, 0},
    {"RegSetValueExW", "WMPApplication", 1, 2048, 0, 0},
    {"RegCloseKey", nullptr, 0, 0, 0, 0},
    FACES_FREED(ANY_FACE),
    FACES_LOADED(24),
    {"EndDialog", nullptr, 1, 0, 0, 0},
    {"DeleteObject", nullptr, 0, 0, 0, sameAs(13)},  // the link's font first
    {"DeleteObject", nullptr, 0, 0, 0, sameAs(14)},
};
// the item's faces, IconSize 1 stored: loaded normal then pressed (Play,
// Stop, Previous, Next, Pause; rows from kFace), drawn in screen order
// (Play, Pause, Stop, Previous, Next), freed in the order they were loaded.
constexpr unsigned kFace = 5;
const Step kItemFaces[] = {
    SETTINGS_READ,
    FACES_LOADED(32),
    {"ShowWindow", nullptr, 5, 0, 0, 0},
    {"FindWindowW", "Windows Media", 0, 0, 0, 0},
    PAINT_LOGO(19),
    FACES_DRAWN(sameAs(kFace), sameAs(kFace + 8), sameAs(kFace + 2), sameAs(kFace + 4), sameAs(kFace + 6)),
    {"EndPaint", nullptr, 0, 0, 0, 0},
    FACES_FREED(LOADED_FACE),
};
// Install_Init and Install_Exit: the language chooser (English kept, OK),
// the first settings, the player's path from the .wmv association, then the
// Today screen told to read its items again.
#define INSTALL_STEPS \
    {"DialogBoxIndirectParamW", nullptr, 0, 0, 0, 0}, \
    {"SendMessageW", nullptr, CB_ADDSTRING, 0, 0, kAnyC}, \
    {"SendMessageW", nullptr, CB_ADDSTRING, 0, 0, kAnyC}, \
    {"SendMessageW", nullptr, CB_SETCURSEL, 0, 0, 0}, \
    {"SendMessageW", nullptr, CB_GETCURSEL, 0, 0, 0}, \
    {"RegCreateKeyExW", "SOFTWARE\\Halvorn\\WMP Crestune", 0, 0, 0, 0}, \
    {"RegSetValueExW", "IconSize", 4, 4, 0, 0}, \
    {"RegOpenKeyExW", ".wmv", 0, 0, 0, 0}, \
    {"RegQueryValueExW", "", 0, 0, 0, 0}, \
    {"RegCloseKey", nullptr, 0, 0, 0, 0}, \
    {"RegOpenKeyExW", "WMVFile\\Shell\\Open\\Command", 0, 0, 0, 0}, \
    {"RegQueryValueExW", "", 0, 0, 0, 0}, \
    {"RegCloseKey", nullptr, 0, 0, 0, 0}, \
    {"RegSetValueExW", "WMPApplication", 1, 2048, 0, 0}, \
    {"RegSetValueExW", "Language", 4, 4, 0, 0}, \
    {"RegCloseKey", nullptr, 0, 0, 0, 0}, \
    {"EndDialog", nullptr, 1, 0, 0, 0}, \
    {"SendMessageW", nullptr, WM_SETTINGCHANGE, kTodayRefresh, 0, 0},
const Step kInstall[] = {INSTALL_STEPS};
// Over an installed package, the old Today item goes first.
const Step kReinstall[] = {
    {"RegDeleteKeyW", "Software\\Microsoft\\Today\\Items\\WMP Crestune", 0, 0, 0, 0},
    {"SendMessageW", nullptr, WM_SETTINGCHANGE, kTodayRefresh, 0, 0},
    INSTALL_STEPS};
// remove
const Step kRemove[] = {
    {"RegDeleteKeyW", "Software\\Microsoft\\Today\\Items\\WMP Crestune", 0, 0, 0, 0},
    {"RegDeleteKeyW", "SOFTWARE\\Halvorn\\WMP Crestune", 0, 0, 0, 0},
    {"SendMessageW", nullptr, WM_SETTINGCHANGE, kTodayRefresh, 0, 0},
};

#define ROWS(t) t, sizeof(t) / sizeof(t[0])
}  // namespace

const Case kCases[] = {
    {"the item starts", Action::StartItem, 0, ROWS(kTheItemStarts)},
    {"refresh, no player", Action::RefreshAway, 0, ROWS(kRefresh)},
    {"paint, title view", Action::PaintTitle, 0, ROWS(kPaintTitleView)},
    {"refresh, player up", Action::RefreshPlayer, 0, ROWS(kRefresh)},
    {"paint, buttons view", Action::PaintButtons, 0, ROWS(kPaintButtonsView)},
    {"tap Play", Action::TapButton, 0, ROWS(kTapPlay)},
    {"tap Pause", Action::TapButton, 1, ROWS(kTapPause)},
    {"tap Stop", Action::TapButton, 2, ROWS(kTapStop)},
    {"tap Previous", Action::TapButton, 3, ROWS(kTapPrevious)},
    {"tap Next", Action::TapButton, 4, ROWS(kTapNext)},
    {"tap the title, player missing", Action::TapTitle, 0, ROWS(kTapTheTitlePlayerMissing)},
    {"hold, Mute chosen", Action::HoldMenu, 1, ROWS(kHoldMuteChosen)},
    {"menu Mute", Action::Command, 338, ROWS(kMenuMute)},
    {"menu Volume Up", Action::Command, 339, ROWS(kMenuVolumeUp)},
    {"menu Volume Down", Action::Command, 340, ROWS(kMenuVolumeDown)},
    {"menu Properties", Action::Command, 341, ROWS(kMenuProperties)},
    {"menu Repeat", Action::Command, 342, ROWS(kMenuRepeat)},
    {"menu Shuffle", Action::Command, 343, ROWS(kMenuShuffle)},
    {"menu Show Player", Action::Command, 344, ROWS(kMenuShowPlayer)},
    {"menu Close Player", Action::Command, 345, ROWS(kMenuClosePlayer)},
    {"menu Playlist", Action::Command, 346, ROWS(kMenuPlaylist)},
    {"menu 347, no such entry", Action::Command, 347, nullptr, 0},
    {"options page, ok", Action::OptionsConfirm, 0, ROWS(kOptionsPageOk)},
    {"install", Action::Install, 0, ROWS(kInstall)},
    {"reinstall", Action::Reinstall, 0, ROWS(kReinstall)},
    {"remove", Action::Remove, 0, ROWS(kRemove)},
    {"the item's faces", Action::ItemLifetime, 0, ROWS(kItemFaces)},
};
const size_t kCaseCount = sizeof(kCases) / sizeof(kCases[0]);

}  // namespace orders
