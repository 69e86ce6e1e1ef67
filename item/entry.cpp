// The item's spine: the module entry, the create-item export, the item
// window procedure and its lifecycle handlers.
#include "crestitem.h"

const LPCWSTR* ActiveStrings = NULL;
int ItemHeight = 20;

// Whether this copy of the library registered the item window class, so that
// unloading unregisters only what it registered.
static BOOL ClassRegistered = FALSE;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      g_ItemContext.instance = instance;
      break;
    case DLL_PROCESS_DETACH:
      // The options page loads the settings and rebuilds the faces even when
      // no item window ever existed to release them on its destruction.
      FreeHeapString(&g_ItemContext.playerPath);
      FreeAllButtons();
      if (ClassRegistered) {
        // A box is shown only when the library is freed (reserved NULL):
        // while the process exits, under the loader lock, a box can hang it.
        if (!UnregisterClassW(g_ItemContext.className, g_ItemContext.instance) && reserved == NULL)
          MessageBoxW(NULL, TEXT("UnregisterClass()"), NULL, MB_OK);
        ClassRegistered = FALSE;
      }
      break;
  }
  return TRUE;
}

CRESTUNE_EXPORT HWND CreateItemWindow(TODAYLISTITEM* item, HWND parent) {
  WNDCLASS wc;
  if (!item || !item->fEnabled) return NULL;
  g_ItemContext.parentWindow = parent;

  ZeroMemory(&wc, sizeof(wc));
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ItemWndProc;
  wc.hInstance = g_ItemContext.instance;
  wc.lpszClassName = g_ItemContext.className;
  // A class still registered from an earlier item window serves again.
  if (RegisterClassW(&wc)) ClassRegistered = TRUE;

  g_ItemContext.itemWindow = CreateWindowExW(0, g_ItemContext.className, g_ItemContext.windowName,
                                             WS_CHILD | WS_VISIBLE, 0, 0, 240, 40, parent, NULL,
                                             g_ItemContext.instance, NULL);
  ShowWindow(g_ItemContext.itemWindow, SW_SHOW);
  return g_ItemContext.itemWindow;
}

LRESULT CALLBACK ItemWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(hwnd, message, wParam, lParam);
    case WM_DESTROY:
      OnDestroy(hwnd, message, wParam, lParam);
      return 0;
    case WM_PAINT:
      OnPaint(hwnd, message, wParam, lParam);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_COMMAND:
      OnCommand(hwnd, message, wParam, lParam);
      return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_LBUTTONDOWN:
      OnLButtonDown(hwnd, message, wParam, lParam);
      return 0;
    case WM_LBUTTONUP:
      OnLButtonUp(hwnd, message, wParam, lParam);
      return 0;
    case WM_TODAYCUSTOM_CLEARCACHE:
      return 0;
    case WM_TODAYCUSTOM_QUERYREFRESHCACHE:
      return OnQueryRefreshCache(hwnd, message, wParam, lParam);
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT OnCreate(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)hwnd, (void)message, (void)wParam, (void)lParam;
  LoadSettings(&g_ItemContext);
  ActiveStrings = StringsForLanguage(g_ItemContext.language);
  // The options page may have loaded faces before any item window existed;
  // they are released here, not lost, before the faces are loaded anew.
  FreeAllButtons();
  LoadAllButtons();
  return 0;
}

LRESULT OnDestroy(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)hwnd, (void)message, (void)wParam, (void)lParam;
  FreeHeapString(&g_ItemContext.playerPath);
  FreeAllButtons();
  return 0;
}

LRESULT OnQueryRefreshCache(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TODAYLISTITEM* item = (TODAYLISTITEM*)lParam;
  LRESULT changed = FALSE;
  (void)hwnd, (void)message, (void)wParam;
  g_ItemContext.playerWindow = FindWindowW(NULL, g_ItemContext.playerWindowTitle);
  ItemHeight = g_ItemContext.playerWindow ? g_ItemContext.playIconSize + 4 : 20;
  if (item && item->cyp != (DWORD)ItemHeight) {
    item->cyp = (DWORD)ItemHeight;
    changed = TRUE;
  }
  UpdateWindow(g_ItemContext.itemWindow);
  return changed;
}
