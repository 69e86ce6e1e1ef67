// The options page opened from the Today settings: button size, the player
// program, and the credits with their contact link.
#include "crestitem.h"
#include "resource.h"

HFONT HeadingFont = NULL;
HFONT LinkFont = NULL;

#define HEADING_COLOR 0x009C0000
#define LINK_COLOR 0x00FF0000
#define HEADING_BAND 23
#define LINK_TEXT_UNITS 256
#define BROWSE_UNITS 260

static void SetOptionsTexts(HWND hDlg);
static int CreateFontHeight(HDC hdc);

// The table the page reads: the one the item window chose, or, before any
// item window exists, the one the stored language selects.
static const LPCWSTR* OptionsStrings(void) {
  if (ActiveStrings) return ActiveStrings;
  return StringsForLanguage(g_ItemContext.language);
}

static int CreateFontHeight(HDC hdc) { return ((-17 * GetDeviceCaps(hdc, LOGPIXELSY)) / 72) / 2; }

static HFONT CreateOptionsFont(HDC hdc, LONG weight, BYTE underline) {
  TEXTMETRICW metrics;
  LOGFONTW font;
  ZeroMemory(&metrics, sizeof(metrics));
  GetTextMetricsW(hdc, &metrics);
  ZeroMemory(&font, sizeof(font));
  font.lfHeight = CreateFontHeight(hdc);
  font.lfWeight = weight;
  font.lfUnderline = underline;
  font.lfPitchAndFamily = metrics.tmPitchAndFamily;
  lstrcpynW(font.lfFaceName, TEXT("Tahoma"), LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

HFONT CreateHeadingFont(HDC hdc) { return CreateOptionsFont(hdc, 600, 0); }
HFONT CreateLinkFont(HDC hdc) { return CreateOptionsFont(hdc, 0, 1); }

static void SetOptionsTexts(HWND hDlg) {
  const LPCWSTR* strings = OptionsStrings();
  SetWindowTextW(hDlg, strings[UI_OPTIONS_CAPTION]);
  SetWindowTextW(GetDlgItem(hDlg, IDC_DISPLAY_LABEL), strings[UI_DISPLAY_LABEL]);
  SetWindowTextW(GetDlgItem(hDlg, IDC_LARGE_BUTTONS), strings[UI_LARGE_BUTTONS]);
  SetWindowTextW(GetDlgItem(hDlg, IDC_STANDARD_BUTTONS), strings[UI_STANDARD_BUTTONS]);
  SetWindowTextW(GetDlgItem(hDlg, IDC_PLAYER_LABEL), strings[UI_PLAYER_LABEL]);
  SetWindowTextW(GetDlgItem(hDlg, IDC_BROWSE), strings[UI_BROWSE]);
  SetWindowTextW(GetDlgItem(hDlg, IDC_CANCEL_BUTTON), strings[UI_CANCEL]);
}

// Moves one credit line to x 7 and the given y, keeping its size.
static void MoveCreditLine(HWND hDlg, int id, int y) {
  HWND control = GetDlgItem(hDlg, id);
  RECT r;
  ZeroMemory(&r, sizeof(r));
  GetWindowRect(control, &r);
  MoveWindow(control, 7, y, r.right - r.left, r.bottom - r.top, TRUE);
}

int InitOptionsDialog(HWND hDlg) {
  SHINITDLGINFO info;
  RECT window;
  HDC hdc;
  LONG bottom;
  ZeroMemory(&info, sizeof(info));
  info.dwMask = SHIDIM_FLAGS;
  info.hDlg = hDlg;
  info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN;
  SHInitDialog(&info);

  if (ActiveStrings) {
    SetOptionsTexts(hDlg);
    LoadSettings(&g_ItemContext);
  } else {
    // No item window yet in this library's life: the settings come first,
    // so that the stored language decides, as it would have for the item.
    LoadSettings(&g_ItemContext);
    SetOptionsTexts(hDlg);
  }

  hdc = GetDC(hDlg);
  ZeroMemory(&window, sizeof(window));
  GetWindowRect(hDlg, &window);
  bottom = window.bottom;
  LinkFont = CreateLinkFont(hdc);
  HeadingFont = CreateHeadingFont(hdc);
  SendMessageW(GetDlgItem(hDlg, IDC_DISPLAY_LABEL), WM_SETFONT, (WPARAM)HeadingFont, 0);
  SendMessageW(GetDlgItem(hDlg, IDC_PLAYER_LABEL), WM_SETFONT, (WPARAM)HeadingFont, 0);
  SendMessageW(GetDlgItem(hDlg, IDC_CONTACT_LINK), WM_SETFONT, (WPARAM)LinkFont, 0);

  MoveCreditLine(hDlg, IDC_CONTACT_LINK, bottom - 45);
  MoveCreditLine(hDlg, IDC_CREDIT_COPYRIGHT, bottom - 60);
  MoveCreditLine(hDlg, IDC_CREDIT_VERSION, bottom - 75);
  MoveCreditLine(hDlg, IDC_CREDIT_TITLE, bottom - 90);

  SendMessageW(GetDlgItem(hDlg, g_ItemContext.playIconSize == 32 ? IDC_LARGE_BUTTONS : IDC_STANDARD_BUTTONS),
               BM_SETCHECK, BST_CHECKED, 0);
  if (g_ItemContext.playerPath) SetDlgItemTextW(hDlg, IDC_PLAYER_PATH, g_ItemContext.playerPath);
  ReleaseDC(hDlg, hdc);
  UpdateWindow(hDlg);
  return 1;
}

void DrawRule(HDC hdc, int x1, int y1, int x2, int y2) {
  POINT points[2];
  points[0].x = x1;
  points[0].y = y1;
  points[1].x = x2;
  points[1].y = y2;
  Polyline(hdc, points, 2);
}

void DrawOptionsHeading(HDC hdc, LPCWSTR text, COLORREF colour) {
  int width = GetDeviceCaps(hdc, HORZRES);
  HFONT font = CreateHeadingFont(hdc);
  HGDIOBJ oldFont = SelectObject(hdc, font);
  HGDIOBJ oldPen;
  RECT band;
  SetTextColor(hdc, colour);
  SetRect(&band, 7, 0, width, HEADING_BAND);
  DrawTextW(hdc, text, lstrlenW(text), &band, DT_SINGLELINE | DT_VCENTER);
  SelectObject(hdc, oldFont);
  DeleteObject(font);
  oldPen = SelectObject(hdc, GetStockObject(BLACK_PEN));
  DrawRule(hdc, 0, HEADING_BAND, width, HEADING_BAND);
  SelectObject(hdc, oldPen);
}

int OnOptionsPaint(HWND hDlg) {
  PAINTSTRUCT ps;
  HDC hdc = BeginPaint(hDlg, &ps);
  DrawOptionsHeading(hdc, OptionsStrings()[UI_OPTIONS_HEADING], HEADING_COLOR);
  EndPaint(hDlg, &ps);
  return 1;
}

LRESULT GetButtonCheck(HWND hDlg, int id) { return SendMessageW(GetDlgItem(hDlg, id), BM_GETCHECK, 0, 0); }

void SaveOptions(HWND hDlg) {
  WCHAR path[PLAYER_PATH_UNITS];
  ZeroMemory(path, sizeof(path));
  g_ItemContext.playIconSize = GetButtonCheck(hDlg, IDC_LARGE_BUTTONS) == BST_CHECKED ? 32 : 24;
  g_ItemContext.otherIconSize = 24;
  GetDlgItemTextW(hDlg, IDC_PLAYER_PATH, path, PLAYER_PATH_UNITS);
  FreeHeapString(&g_ItemContext.playerPath);
  g_ItemContext.playerPath = CopyHeapString(path);
  SaveSettings(&g_ItemContext);
  if (g_ItemContext.instance) {
    FreeAllButtons();
    LoadAllButtons();
  }
}

int BrowseForPlayer(HWND hDlg) {
  WCHAR file[BROWSE_UNITS];
  OPENFILENAME ofn;
  const LPCWSTR* strings = OptionsStrings();
  ZeroMemory(file, sizeof(file));
  ZeroMemory(&ofn, sizeof(ofn));
  ofn.lStructSize = CRESTUNE_OFN_SIZE;
  ofn.hwndOwner = hDlg;
  ofn.lpstrFilter = strings[UI_OPEN_FILE_FILTER];
  ofn.lpstrFile = file;
  ofn.nMaxFile = BROWSE_UNITS;
  ofn.lpstrTitle = strings[UI_OPEN_FILE_TITLE];
  ofn.Flags = OFN_EXPLORER;
  if (GetOpenFileNameW(&ofn) && file[0]) {
    SetDlgItemTextW(hDlg, IDC_PLAYER_PATH, file);
    return 1;
  }
  return 0;
}

void OpenContactLink(HWND hDlg, int id) {
  WCHAR link[LINK_TEXT_UNITS];
  WCHAR address[LINK_TEXT_UNITS];
  SHELLEXECUTEINFO info;
  static const WCHAR scheme[] = TEXT("mailto:");
  int schemeLength = lstrlenW(scheme);
  ZeroMemory(link, sizeof(link));
  ZeroMemory(address, sizeof(address));
  GetWindowTextW(GetDlgItem(hDlg, id), link, LINK_TEXT_UNITS);
  // "mailto:" and as much of the link as the address buffer holds.
  lstrcpynW(address, scheme, LINK_TEXT_UNITS);
  lstrcpynW(address + schemeLength, link, LINK_TEXT_UNITS - schemeLength);
  ZeroMemory(&info, sizeof(info));
  info.cbSize = sizeof(info);
  info.lpFile = address;
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteEx(&info);
}

void DeleteOptionsFonts(void) {
  DeleteObject(LinkFont);
  DeleteObject(HeadingFont);
  LinkFont = NULL;
  HeadingFont = NULL;
}

static INT_PTR OnOptionsCommand(HWND hDlg, WPARAM wParam) {
  if (LOWORD(wParam) == IDOK) {
    SaveOptions(hDlg);
    EndDialog(hDlg, IDOK);
    return 1;
  }
  if (wParam == IDC_CONTACT_LINK) {
    OpenContactLink(hDlg, IDC_CONTACT_LINK);
    return 0;
  }
  if (wParam == IDC_BROWSE) {
    BrowseForPlayer(hDlg);
    return 0;
  }
  if (wParam == IDC_CANCEL_BUTTON) {
    EndDialog(hDlg, IDC_CANCEL_BUTTON);
    return 1;
  }
  return 0;
}

static INT_PTR OnOptionsCtlColorStatic(WPARAM wParam, LPARAM lParam) {
  if (GetDlgCtrlID((HWND)lParam) != IDC_CONTACT_LINK) return 0;
  SetBkMode((HDC)wParam, TRANSPARENT);
  SetTextColor((HDC)wParam, LINK_COLOR);
  return (INT_PTR)GetStockObject(WHITE_BRUSH);
}

CRESTUNE_EXPORT INT_PTR CALLBACK OptionsDialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      DeleteOptionsFonts();
      return 0;
    case WM_PAINT:
      OnOptionsPaint(hDlg);
      return 0;
    case WM_INITDIALOG:
      return InitOptionsDialog(hDlg);
    case WM_COMMAND:
      return OnOptionsCommand(hDlg, wParam);
    case WM_CTLCOLORSTATIC:
      return OnOptionsCtlColorStatic(wParam, lParam);
    case WM_CLOSE:
      // Closed from outside: as Cancel. DefWindowProcW would destroy the
      // modal page without EndDialog and leave its owner disabled.
      EndDialog(hDlg, IDC_CANCEL_BUTTON);
      return 1;
  }
  return DefWindowProcW(hDlg, message, wParam, lParam);
}
