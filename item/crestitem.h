// The Today item: its state, its tables and its operations.
#pragma once
#include "platform.h"
#include "settings_keys.h"

#include <aygshell.h>
#include <todaycmn.h>

// ---- Settings and language tables ----------------------------------------

// The persisted fields, and where the item keeps them: the one record of the
// library's run-time state.
typedef struct ItemContext {
  LPCWSTR windowName;
  LPCWSTR className;
  LPCWSTR playerWindowTitle;
  LPCWSTR displayTitle;
  LPWSTR playerPath;  // owned heap string, or NULL
  int playIconSize;
  int otherIconSize;
  HINSTANCE instance;
  HWND itemWindow;
  HWND parentWindow;
  HWND playerWindow;
  int language;  // 0 English, 1 Spanish
} ItemContext;

#define UI_STRING_COUNT 20
typedef LPCWSTR UiStrings[UI_STRING_COUNT];

enum UiSlot {
  UI_MUTE = 0,
  UI_VOLUME_UP,
  UI_VOLUME_DOWN,
  UI_PROPERTIES,
  UI_REPEAT,
  UI_SHUFFLE,
  UI_PLAYLIST,
  UI_SHOW_PLAYER,
  UI_CLOSE_PLAYER,
  UI_OPTIONS_CAPTION,
  UI_DISPLAY_LABEL,
  UI_LARGE_BUTTONS,
  UI_STANDARD_BUTTONS,
  UI_PLAYER_LABEL,
  UI_BROWSE,
  UI_CANCEL,
  UI_OPTIONS_HEADING,
  UI_OPEN_FILE_TITLE,
  UI_OPEN_FILE_FILTER,
  UI_NOT_FOUND
};

extern ItemContext g_ItemContext;
extern const UiStrings EnglishStrings;
extern const UiStrings SpanishStrings;
extern const LPCWSTR* ActiveStrings;  // NULL until an item window is created
extern int ItemHeight;

LONG LoadSettings(ItemContext* context);
void SaveSettings(ItemContext* context);
LPWSTR CopyHeapString(LPCWSTR text);
void FreeHeapString(LPWSTR* text);
const LPCWSTR* StringsForLanguage(int language);

// ---- Entry and window lifecycle --------------------------------------------

CRESTUNE_EXPORT HWND CreateItemWindow(TODAYLISTITEM* item, HWND parent);
LRESULT CALLBACK ItemWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnCreate(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnQueryRefreshCache(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Transport buttons -------------------------------------------------------

enum ButtonState { ButtonPressed = 100, ButtonReleased = 101, ButtonIdle = 102 };

typedef struct TransportButton {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
  LONG state;
  LONG size;
  HICON normalIcon;
  HICON pressedIcon;
} TransportButton;

#define BUTTON_COUNT 5
enum ButtonIndex { BUTTON_PLAY = 0, BUTTON_PAUSE, BUTTON_STOP, BUTTON_PREVIOUS, BUTTON_NEXT };
#define BUTTON_ID_PLAY 140
#define BUTTON_ID_PAUSE 141
#define BUTTON_ID_STOP 142
#define BUTTON_ID_PREVIOUS 143
#define BUTTON_ID_NEXT 144

// Player commands.
#define PLAYER_PLAY 0x80C8
#define PLAYER_PAUSE 0x80C9
#define PLAYER_STOP 0x80CA
#define PLAYER_PREVIOUS 0x80CB
#define PLAYER_NEXT 0x80CC
#define PLAYER_SHUFFLE 0x80CD
#define PLAYER_REPEAT 0x80CE
#define PLAYER_PROPERTIES 0x80D1
#define PLAYER_MUTE 0x8037
#define PLAYER_VOLUME_UP 0x8038
#define PLAYER_VOLUME_DOWN 0x8039
#define PLAYER_PLAYLIST_COMMAND 0x9C4B
#define PLAYER_PLAYLIST_LPARAM 0x002D14C8

extern TransportButton g_Buttons[BUTTON_COUNT];
extern const UINT ButtonReleaseMessage[BUTTON_COUNT];

int IsBetween(LONG value, LONG low, LONG high);
int IsPointInRect(LONG left, LONG top, LONG right, LONG bottom, LONG x, LONG y);
int LoadButton(HINSTANCE instance, int size, TransportButton* button, int buttonId);
int FreeButton(TransportButton* button);
int DrawButton(HDC hdc, const TransportButton* button);
void LoadAllButtons(void);
void FreeAllButtons(void);
void LayoutButtons(HWND hwnd);
LRESULT SendPlayerCommand(UINT code);

// ---- Painting and pen input -----------------------------------------------

typedef struct TitleStyle {
  HFONT font;
  COLORREF textColor;
} TitleStyle;

LRESULT OnPaint(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnLButtonDown(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT OnLButtonUp(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void MakeTitleStyle(TitleStyle* style);
void FreeTitleStyle(TitleStyle* style);
void LaunchPlayer(HWND hwnd);
int FormatLaunchError(LPWSTR out, int outUnits, LPCWSTR path, LPCWSTR words);

// ---- Context menu -------------------------------------------------------------

#define IDM_MUTE 338
#define IDM_VOLUME_UP 339
#define IDM_VOLUME_DOWN 340
#define IDM_PROPERTIES 341
#define IDM_REPEAT 342
#define IDM_SHUFFLE 343
#define IDM_SHOW_PLAYER 344
#define IDM_CLOSE_PLAYER 345
#define IDM_PLAYLIST 346

int IsContextMenuGesture(HWND hwnd, int x, int y);
BOOL ShowContextMenu(HWND hwnd, POINT point);
LRESULT OnCommand(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Options dialog -------------------------------------------------------------

extern HFONT HeadingFont;
extern HFONT LinkFont;
int InitOptionsDialog(HWND hDlg);
HFONT CreateHeadingFont(HDC hdc);
HFONT CreateLinkFont(HDC hdc);
int OnOptionsPaint(HWND hDlg);
void DrawOptionsHeading(HDC hdc, LPCWSTR text, COLORREF colour);
void DrawRule(HDC hdc, int x1, int y1, int x2, int y2);
LRESULT GetButtonCheck(HWND hDlg, int id);
void SaveOptions(HWND hDlg);
int BrowseForPlayer(HWND hDlg);
void OpenContactLink(HWND hDlg, int id);
void DeleteOptionsFonts(void);

// Declared with the dialog manager's own procedure type, so that the pointer the
// Today shell hands to it is called exactly as it is defined.
CRESTUNE_EXPORT INT_PTR CALLBACK OptionsDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
