// What crestitem.dll paints itself, read back from the window's DC under
// Wine and written as PPM pictures into pixels\ beside the program, for the
// host's pixel_conformance_tests to set beside the stand-in's rendering.
#include <stdio.h>
#include <todaycmn.h>

#include "harness.h"

#define PLAYER_TITLE L"Windows Media"
#define PAGE_WIDTH 240   // the device's screen: the page is compared this wide
#define HEADING_ROWS 24  // the heading's band and the rule beneath it
#define LINK_ID 1014

static HMODULE Item;
static PFNCUSTOMINITIALIZEITEM CreateItem;
static DLGPROC OptionsProc;

// The parent as the tests on the stand-in make it: a white watermark, black text.
static LRESULT CALLBACK ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == TODAYM_GETCOLOR) return RGB(0, 0, 0);
  if (message == TODAYM_DRAWWATERMARK) {
    TODAYDRAWWATERMARKINFO* info = (TODAYDRAWWATERMARKINFO*)lParam;
    FillRect(info->hdc, &info->rc, (HBRUSH)GetStockObject(WHITE_BRUSH));
    return TRUE;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Copies a block of a window's client area (as its DC reads after the
// window has painted) into pixels\<name>.ppm.
static bool Capture(HWND hwnd, int left, int top, int width, int height, const char* name) {
  BITMAPINFO info;
  ZeroMemory(&info, sizeof(info));
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = NULL;
  HDC windowDc = GetDC(hwnd);
  HDC memory = CreateCompatibleDC(windowDc);
  HBITMAP section = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  bool copied = false;
  if (memory && section && bits) {
    HGDIOBJ old = SelectObject(memory, section);
    copied = BitBlt(memory, 0, 0, width, height, windowDc, left, top, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  bool written = false;
  char path[MAX_PATH];
  snprintf(path, sizeof(path), "pixels\\%s.ppm", name);
  FILE* file = copied ? fopen(path, "wb") : NULL;
  if (file) {
    fprintf(file, "P6\n%d %d\n255\n", width, height);
    const BYTE* p = (const BYTE*)bits;
    for (int i = 0; i < width * height; i++, p += 4) {
      BYTE rgb[3] = {p[2], p[1], p[0]};
      fwrite(rgb, 1, 3, file);
    }
    written = fclose(file) == 0;
  }
  if (section) DeleteObject(section);
  if (memory) DeleteDC(memory);
  ReleaseDC(hwnd, windowDc);
  return written;
}

// The item under a parent as the Today shell places it: at the top, as wide
// as the screen and as tall as it asked.
static HWND PlaceItem(HWND parent, TODAYLISTITEM* record) {
  ZeroMemory(record, sizeof(*record));
  record->fEnabled = TRUE;
  HWND item = CreateItem(record, parent);
  if (!item) return NULL;
  record->hwndCustom = item;
  SendMessageW(item, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, (LPARAM)record);
  SetWindowPos(item, NULL, 0, 0, PAGE_WIDTH, record->cyp, SWP_NOZORDER | SWP_NOACTIVATE);
  return item;
}

static void Repaint(HWND hwnd) {
  InvalidateRect(hwnd, NULL, TRUE);
  UpdateWindow(hwnd);
  Pump();
}

// The title view, then the buttons of both sizes with one of them held down.
static void CaptureItemViews(HWND parent) {
  TODAYLISTITEM record;
  DeleteSettings();
  HWND item = PlaceItem(parent, &record);
  Repaint(item);
  ok(item && Capture(item, 0, 0, PAGE_WIDTH, record.cyp, "title"), "pixels: the title view is captured");
  DestroyWindow(item);

  HWND player = MakeTestWindow(L"CrestunePixelPlayer", DefWindowProcW, PLAYER_TITLE, WS_OVERLAPPEDWINDOW, 300, 0,
                               200, 100);
  static const struct {
    DWORD iconSize;
    int pressX;
    const char* name;
  } views[] = {{1, 45, "buttons-large"}, {0, 89, "buttons-standard"}};
  for (const auto& v : views) {
    WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", v.iconSize);
    item = PlaceItem(parent, &record);
    int y = record.cyp / 2;
    SendMessageW(item, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(v.pressX, y));
    Repaint(item);
    ok(item && Capture(item, 0, 0, PAGE_WIDTH, record.cyp, v.name), "pixels: %s captured with a button held",
       v.name);
    // Lifted off the buttons: released, nothing sent.
    SendMessageW(item, WM_LBUTTONUP, 0, MAKELPARAM(200, y));
    DestroyWindow(item);
  }
  DestroyWindow(player);
}

static bool PageCaptured;

static void CapturePage(HWND page) {
  HWND link = GetDlgItem(page, LINK_ID);
  RECT r;
  GetClientRect(link, &r);
  Repaint(page);
  PageCaptured = Capture(page, 0, 0, PAGE_WIDTH, HEADING_ROWS + 1, "options-heading") &&
                 Capture(link, 0, 0, r.right, r.bottom, "options-link");
  PostMessageW(page, WM_CLOSE, 0, 0);
}

// The page in the device's colours: its dialogs are white, not the grey of
// a desktop's.
static void CaptureOptionsPage() {
  int element = COLOR_BTNFACE;
  COLORREF white = RGB(255, 255, 255), face = GetSysColor(COLOR_BTNFACE);
  SetSysColors(1, &element, &white);
  DeleteSettings();
  PageCaptured = false;
  DriveNextDialog(CapturePage);
  DialogBoxParamW(Item, MAKEINTRESOURCEW(500), NULL, OptionsProc, 0);
  DriveNextDialog(NULL);
  SetSysColors(1, &element, &face);
  ok(PageCaptured, "pixels: the options page's heading, rule and link are captured");
}

void PixelCaptures() {
  CreateDirectoryA("pixels", NULL);
  Item = LoadBesideProgram(L"crestitem.dll");
  if (!ok(Item != NULL, "pixels: crestitem.dll loads")) return;
  CreateItem = (PFNCUSTOMINITIALIZEITEM)(void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM));
  OptionsProc = (DLGPROC)(void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC));
  if (CreateItem && OptionsProc) {
    HWND parent = MakeTestWindow(L"CrestunePixelParent", ParentProc, L"Today", WS_POPUP | WS_VISIBLE, 0, 0,
                                 PAGE_WIDTH, 320);
    CaptureItemViews(parent);
    DestroyWindow(parent);
    CaptureOptionsPage();
  }
  DeleteSettings();
  FreeLibrary(Item);
}
