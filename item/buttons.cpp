// The five transport buttons: their icons, layout, drawing and hit test,
// and the one way the item sends a command to the player.
#include "crestitem.h"
#include "resource.h"

TransportButton g_Buttons[BUTTON_COUNT];

const UINT ButtonReleaseMessage[BUTTON_COUNT] = {PLAYER_PLAY, PLAYER_PAUSE, PLAYER_STOP, PLAYER_PREVIOUS,
                                                 PLAYER_NEXT};

typedef struct ButtonIcons {
  int buttonId;
  int normalIcon;
  int pressedIcon;
} ButtonIcons;

// In the order of the button records (ButtonIndex).
static const ButtonIcons IconPairs[BUTTON_COUNT] = {
    {BUTTON_ID_PLAY, IDI_PLAY, IDI_PLAY_PRESSED},
    {BUTTON_ID_PAUSE, IDI_PAUSE, IDI_PAUSE_PRESSED},
    {BUTTON_ID_STOP, IDI_STOP, IDI_STOP_PRESSED},
    {BUTTON_ID_PREVIOUS, IDI_PREVIOUS, IDI_PREVIOUS_PRESSED},
    {BUTTON_ID_NEXT, IDI_NEXT, IDI_NEXT_PRESSED},
};

int IsBetween(LONG value, LONG low, LONG high) { return low <= value && value <= high; }

int IsPointInRect(LONG left, LONG top, LONG right, LONG bottom, LONG x, LONG y) {
  return IsBetween(x, left, right) && IsBetween(y, top, bottom);
}

int LoadButton(HINSTANCE instance, int size, TransportButton* button, int buttonId) {
  const ButtonIcons* pair = NULL;
  int i;
  for (i = 0; i < BUTTON_COUNT; i++)
    if (IconPairs[i].buttonId == buttonId) pair = &IconPairs[i];
  if (!pair) return 0;

  button->normalIcon = (HICON)LoadImageW(instance, MAKEINTRESOURCE(pair->normalIcon), IMAGE_ICON, size, size, 0);
  if (!button->normalIcon) {
    WCHAR text[200];
    wsprintfW(text, TEXT("Button:%d, Size:%d, Instance:%d"), buttonId, size, (int)(INT_PTR)instance);
    MessageBoxW(NULL, text, NULL, MB_OK);
    return 0;
  }
  button->pressedIcon = (HICON)LoadImageW(instance, MAKEINTRESOURCE(pair->pressedIcon), IMAGE_ICON, size, size, 0);
  if (!button->pressedIcon) return 0;
  button->size = size;
  button->state = ButtonIdle;
  return 1;
}

int FreeButton(TransportButton* button) {
  if (button->normalIcon) {
    DestroyIcon(button->normalIcon);
    button->normalIcon = NULL;
  }
  if (button->pressedIcon) {
    DestroyIcon(button->pressedIcon);
    button->pressedIcon = NULL;
  }
  return 1;
}

int DrawButton(HDC hdc, const TransportButton* button) {
  HICON icon;
  switch (button->state) {
    case ButtonPressed:
      icon = button->pressedIcon;
      break;
    case ButtonReleased:
    case ButtonIdle:
      icon = button->normalIcon;
      break;
    default:
      return 0;
  }
  return DrawIconEx(hdc, button->left, button->top, icon, button->size, button->size, 0, NULL, DI_NORMAL);
}

// Loading order: Play first, Pause last; a failure stops the pass.
static const int LoadOrder[BUTTON_COUNT] = {BUTTON_PLAY, BUTTON_STOP, BUTTON_PREVIOUS, BUTTON_NEXT, BUTTON_PAUSE};

void LoadAllButtons(void) {
  int i;
  for (i = 0; i < BUTTON_COUNT; i++) {
    int index = LoadOrder[i];
    int size = index == BUTTON_PLAY ? g_ItemContext.playIconSize : g_ItemContext.otherIconSize;
    if (!LoadButton(g_ItemContext.instance, size, &g_Buttons[index], IconPairs[index].buttonId)) return;
  }
}

void FreeAllButtons(void) {
  int i;
  for (i = 0; i < BUTTON_COUNT; i++) FreeButton(&g_Buttons[LoadOrder[i]]);
}

void LayoutButtons(HWND hwnd) {
  RECT client;
  LONG height;
  LONG x = 29;
  int i;
  ZeroMemory(&client, sizeof(client));
  GetClientRect(hwnd, &client);
  height = client.bottom;
  for (i = 0; i < BUTTON_COUNT; i++) {
    TransportButton* b = &g_Buttons[i];
    b->left = x;
    b->right = b->left + b->size;
    b->top = (height - b->size) / 2;
    b->bottom = b->top + b->size;
    x = b->right;
  }
}

LRESULT SendPlayerCommand(UINT code) { return SendMessageW(g_ItemContext.playerWindow, code, 0, 0); }
