// The context menu: the tap-and-hold test, the popup menu at the pen, and
// the commands it sends on to the player.
#include "crestitem.h"

typedef struct MenuEntry {
  UINT id;  // 0: a separator
  int slot;
} MenuEntry;

static const MenuEntry MenuEntries[] = {
    {IDM_MUTE, UI_MUTE},
    {IDM_VOLUME_UP, UI_VOLUME_UP},
    {IDM_VOLUME_DOWN, UI_VOLUME_DOWN},
    {0, 0},
    {IDM_PROPERTIES, UI_PROPERTIES},
    {IDM_REPEAT, UI_REPEAT},
    {IDM_SHUFFLE, UI_SHUFFLE},
    {IDM_PLAYLIST, UI_PLAYLIST},
    {IDM_SHOW_PLAYER, UI_SHOW_PLAYER},
    {0, 0},
    {IDM_CLOSE_PLAYER, UI_CLOSE_PLAYER},
};

int IsContextMenuGesture(HWND hwnd, int x, int y) {
  SHRGINFO info;
  ZeroMemory(&info, sizeof(info));
  info.cbSize = sizeof(info);
  info.hwndClient = hwnd;
  info.ptDown.x = x;
  info.ptDown.y = y;
  info.dwFlags = SHRG_RETURNCMD;
  return SHRecognizeGesture(&info) == GN_CONTEXTMENU ? 1 : 0;
}

BOOL ShowContextMenu(HWND hwnd, POINT point) {
  HMENU menu = CreatePopupMenu();
  RECT window;
  BOOL result;
  const LPCWSTR* strings = ActiveStrings ? ActiveStrings : EnglishStrings;
  unsigned i;
  for (i = 0; i < sizeof(MenuEntries) / sizeof(MenuEntries[0]); i++) {
    if (MenuEntries[i].id)
      AppendMenuW(menu, MF_STRING, MenuEntries[i].id, strings[MenuEntries[i].slot]);
    else
      AppendMenuW(menu, MF_SEPARATOR, 0, NULL);
  }
  SetForegroundWindow(hwnd);
  ZeroMemory(&window, sizeof(window));
  GetWindowRect(hwnd, &window);
  result = TrackPopupMenuEx(menu, TPM_VCENTERALIGN, window.left + point.x, window.top + point.y, hwnd, NULL);
  // The chosen command arrives later as WM_COMMAND; the menu is done with.
  if (menu) DestroyMenu(menu);
  return result;
}

// Brings the player forward and gives it the keyboard.
static void BringPlayerForward(HWND player) {
  SetForegroundWindow(player);
}

static void FocusPlayer(HWND player) { SetFocus(player); }

LRESULT OnCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND player = g_ItemContext.playerWindow;
  (void)hwnd, (void)message, (void)lParam;
  // The player went away since the menu was built: there is nobody to tell.
  if (!player) return 0;
  // The whole WPARAM is the command: a notification code, or anything else
  // above the id, makes it no menu command.
  switch (wParam) {
    case IDM_MUTE:
      SendPlayerCommand(PLAYER_MUTE);
      break;
    case IDM_VOLUME_UP:
      SendPlayerCommand(PLAYER_VOLUME_UP);
      break;
    case IDM_VOLUME_DOWN:
      SendPlayerCommand(PLAYER_VOLUME_DOWN);
      break;
    case IDM_PROPERTIES:
      BringPlayerForward(player);
      PostMessageW(player, PLAYER_PROPERTIES, 0, 0);
      FocusPlayer(player);
      break;
    case IDM_REPEAT:
      SendPlayerCommand(PLAYER_REPEAT);
      break;
    case IDM_SHUFFLE:
      SendPlayerCommand(PLAYER_SHUFFLE);
      break;
    case IDM_SHOW_PLAYER:
      BringPlayerForward(player);
      FocusPlayer(player);
      break;
    case IDM_CLOSE_PLAYER:
      SendPlayerCommand(PLAYER_STOP);
      SendMessageW(player, WM_CLOSE, 0, 0);
      break;
    case IDM_PLAYLIST:
      BringPlayerForward(player);
      PostMessageW(player, WM_COMMAND, PLAYER_PLAYLIST_COMMAND, PLAYER_PLAYLIST_LPARAM);
      FocusPlayer(player);
      break;
  }
  return 0;
}
