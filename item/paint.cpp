// The item's two views and its pen input: the title line while the player
// is away, the five buttons while it runs.
#include "crestitem.h"
#include "resource.h"

LRESULT OnPaint(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  PAINTSTRUCT ps;
  TODAYDRAWWATERMARKINFO watermark;
  RECT client;
  HDC hdc;
  HICON icon;
  (void)message, (void)wParam, (void)lParam;

  hdc = BeginPaint(hwnd, &ps);
  ZeroMemory(&client, sizeof(client));
  GetClientRect(hwnd, &client);
  ZeroMemory(&watermark, sizeof(watermark));
  watermark.hdc = hdc;
  watermark.rc = client;
  watermark.hwnd = hwnd;
  SendMessageW(GetParent(hwnd), TODAYM_DRAWWATERMARK, 0, (LPARAM)&watermark);

  icon = (HICON)LoadImageW(g_ItemContext.instance, MAKEINTRESOURCE(IDI_APPLICATION_LOGO), IMAGE_ICON, 16, 16, 0);
  if (icon) {
    DrawIconEx(hdc, 3, 2, icon, 16, 16, 0, NULL, DI_NORMAL);
    DestroyIcon(icon);
  }

  if (g_ItemContext.playerWindow) {
    int i;
    LayoutButtons(hwnd);
    for (i = 0; i < BUTTON_COUNT; i++) DrawButton(hdc, &g_Buttons[i]);
  } else {
    TitleStyle style;
    RECT title;
    HGDIOBJ oldFont = NULL;
    ZeroMemory(&style, sizeof(style));
    MakeTitleStyle(&style);
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, style.textColor);
    if (style.font) oldFont = SelectObject(hdc, style.font);
    SetRect(&title, 30, 0, GetDeviceCaps(hdc, HORZRES), ItemHeight);
    DrawTextW(hdc, g_ItemContext.displayTitle, lstrlenW(g_ItemContext.displayTitle), &title,
              DT_SINGLELINE | DT_VCENTER);
    if (oldFont) SelectObject(hdc, oldFont);
    FreeTitleStyle(&style);
  }
  EndPaint(hwnd, &ps);
  return 0;
}

void MakeTitleStyle(TitleStyle* style) {
  LOGFONTW font;
  style->textColor = (COLORREF)SendMessageW(g_ItemContext.parentWindow, TODAYM_GETCOLOR, TODAYCOLOR_TEXT, 0);
  ZeroMemory(&font, sizeof(font));
  GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(font), &font);
  lstrcpynW(font.lfFaceName, TEXT("Tahoma"), LF_FACESIZE);
  font.lfHeight = -11;
  font.lfWeight = FW_NORMAL;
  style->font = CreateFontIndirectW(&font);
}

void FreeTitleStyle(TitleStyle* style) {
  if (style->font) {
    DeleteObject(style->font);
    style->font = NULL;
  }
}

// Pen coordinates as the item reads them: the two words of lParam, unsigned.
static LONG PenX(LPARAM lParam) { return (LONG)LOWORD(lParam); }
static LONG PenY(LPARAM lParam) { return (LONG)HIWORD(lParam); }

LRESULT OnLButtonDown(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LONG x = PenX(lParam);
  LONG y = PenY(lParam);
  int i;
  (void)message, (void)wParam;
  if (!g_ItemContext.playerWindow) {
    SetCapture(hwnd);
    return 0;
  }
  for (i = 0; i < BUTTON_COUNT; i++) {
    TransportButton* b = &g_Buttons[i];
    if (IsPointInRect(b->left, b->top, b->right, b->bottom, x, y)) {
      b->state = ButtonPressed;
      InvalidateRect(hwnd, (const RECT*)b, TRUE);
      SetCapture(hwnd);
      return 0;
    }
  }
  if (IsContextMenuGesture(hwnd, (int)x, (int)y)) {
    POINT point;
    point.x = x;
    point.y = y;
    ShowContextMenu(hwnd, point);
    return 0;
  }
  SetCapture(hwnd);
  return 0;
}

LRESULT OnLButtonUp(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  LONG x = PenX(lParam);
  LONG y = PenY(lParam);
  int i;
  (void)message, (void)wParam;
  ReleaseCapture();
  if (!g_ItemContext.playerWindow || IsPointInRect(3, 2, 19, 18, x, y)) {
    LaunchPlayer(hwnd);
    return 0;
  }
  for (i = 0; i < BUTTON_COUNT; i++) {
    TransportButton* b = &g_Buttons[i];
    if (b->state != ButtonPressed) continue;
    b->state = ButtonReleased;
    InvalidateRect(hwnd, (const RECT*)b, TRUE);
    if (IsPointInRect(b->left, b->top, b->right, b->bottom, x, y)) SendPlayerCommand(ButtonReleaseMessage[i]);
  }
  return 0;
}

#define LAUNCH_TEXT_UNITS 200

// Writes "\"path\" words" into out (outUnits units with the terminator). A
// path too long for the box is cut in its middle with "..." so that its
// start, its file name and the closing words all stay.
int FormatLaunchError(LPWSTR out, int outUnits, LPCWSTR path, LPCWSTR words) {
  int wordsLength = lstrlenW(words);
  int pathLength = lstrlenW(path);
  // Quotes, the space and the terminator take four units.
  int room = outUnits - wordsLength - 4;
  if (room < 3) {
    lstrcpynW(out, words, outUnits);
    return lstrlenW(out);
  }
  if (pathLength <= room) return wsprintfW(out, TEXT("\"%s\" %s"), path, words);
  {
    WCHAR shortened[LAUNCH_TEXT_UNITS];
    int keep = room - 3;
    int head = keep / 3;
    int tail = keep - head;
    if (keep >= LAUNCH_TEXT_UNITS) return 0;
    lstrcpynW(shortened, path, head + 1);
    lstrcpynW(shortened + head, TEXT("..."), 4);
    lstrcpynW(shortened + head + 3, path + pathLength - tail, tail + 1);
    return wsprintfW(out, TEXT("\"%s\" %s"), shortened, words);
  }
}

void LaunchPlayer(HWND hwnd) {
  SHELLEXECUTEINFO info;
  ZeroMemory(&info, sizeof(info));
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  info.hwnd = hwnd;
  info.lpVerb = TEXT("open");
  info.lpFile = g_ItemContext.playerPath;
  info.nShow = SW_SHOWNORMAL;
  // A path of MAX_PATH units or more names no file, and shells overrun their
  // own buffers on it: it never reaches the shell, the box says not found.
  if ((!info.lpFile || lstrlenW(info.lpFile) < MAX_PATH) && ShellExecuteEx(&info)) {
    if (info.hProcess) CloseHandle(info.hProcess);
    return;
  }
  {
    WCHAR text[LAUNCH_TEXT_UNITS];
    ZeroMemory(text, sizeof(text));
    FormatLaunchError(text, LAUNCH_TEXT_UNITS, g_ItemContext.playerPath ? g_ItemContext.playerPath : TEXT(""),
                      ActiveStrings ? ActiveStrings[UI_NOT_FOUND] : EnglishStrings[UI_NOT_FOUND]);
    MessageBoxW(hwnd, text, g_ItemContext.windowName, MB_ICONINFORMATION);
  }
}
