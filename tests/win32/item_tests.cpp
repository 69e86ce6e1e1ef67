// crestitem.dll as the Today shell drives it: its exports, its resources,
// its height answers from the registry and the player window, and what the
// player receives from taps and menu commands.
#include <aygshell.h>
#include <stdio.h>
#include <todaycmn.h>

#include "harness.h"

#define PLAYER_TITLE L"Windows Media"

static HMODULE Item;
static PFNCUSTOMINITIALIZEITEM CreateItem;
static void* OptionsProc;

// ---- The substitute player: a window that records the messages it gets --------

struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
#define MAX_RECEIVED 32
static Received PlayerLog[MAX_RECEIVED];
static int PlayerLogCount;

static LRESULT CALLBACK PlayerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if ((message >= WM_USER || message == WM_COMMAND || message == WM_CLOSE) && PlayerLogCount < MAX_RECEIVED) {
    Received r = {message, wParam, lParam};
    PlayerLog[PlayerLogCount++] = r;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

static HWND StartPlayer() {
  PlayerLogCount = 0;
  return MakeTestWindow(L"CrestuneTestPlayer", PlayerProc, PLAYER_TITLE, WS_OVERLAPPEDWINDOW, 300, 0, 200, 100);
}

// Compares the player's log with the expected messages; 0 ends the list.
static bool PlayerGot(const UINT* expected) {
  int n = 0;
  while (expected[n]) n++;
  if (n != PlayerLogCount) return false;
  for (int i = 0; i < n; i++)
    if (PlayerLog[i].message != expected[i]) return false;
  return true;
}

static const char* DescribeLog() {
  static char text[256];
  int used = snprintf(text, sizeof(text), "[");
  for (int i = 0; i < PlayerLogCount && used < (int)sizeof(text) - 8; i++)
    used += snprintf(text + used, sizeof(text) - used, "%s0x%X", i ? " " : "", PlayerLog[i].message);
  snprintf(text + used, sizeof(text) - used, "]");
  return text;
}

// ---- The item window ---------------------------------------------------------

static TODAYLISTITEM ItemRecord;
static HWND ItemWindow;

static HWND RecreateItem(HWND today) {
  if (ItemWindow) DestroyWindow(ItemWindow);
  ItemRecord.fEnabled = TRUE;
  ItemWindow = CreateItem(&ItemRecord, today);
  ItemRecord.hwndCustom = ItemWindow;
  return ItemWindow;
}

static LRESULT QueryRefresh() {
  return SendMessageW(ItemWindow, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, (LPARAM)&ItemRecord);
}

static void Paint() {
  InvalidateRect(ItemWindow, NULL, TRUE);
  UpdateWindow(ItemWindow);
}

static void Tap(int downX, int downY, int upX, int upY) {
  SendMessageW(ItemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(downX, downY));
  SendMessageW(ItemWindow, WM_LBUTTONUP, 0, MAKELPARAM(upX, upY));
  Pump();
}

// ---- The tests -----------------------------------------------------------------

static void ExportTests() {
  int drift = 0;
  CreateItem = (PFNCUSTOMINITIALIZEITEM)(void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM));
  OptionsProc = (void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC));
  ok(CreateItem != NULL, "exports: ordinal 240 found");
  ok(OptionsProc != NULL, "exports: ordinal 241 found");
  ok(!GetProcAddress(Item, "CreateItemWindow") && !GetProcAddress(Item, "OptionsDialogProc") &&
         !GetProcAddress(Item, "OptionsDialogProc@16") && !GetProcAddress(Item, "_OptionsDialogProc@16"),
     "exports: no names");
  ok(!GetProcAddress(Item, MAKEINTRESOURCEA(239)) && !GetProcAddress(Item, MAKEINTRESOURCEA(242)),
     "exports: no neighbouring ordinals");
  if (!CreateItem || !OptionsProc) return;

  TODAYLISTITEM disabled;
  ZeroMemory(&disabled, sizeof(disabled));
  DWORD_PTR made = CallCdecl2((void*)CreateItem, (DWORD_PTR)&disabled, 0, &drift);
  ok(made == 0 && drift == 0, "exports: 240 is a C function (result %p, stack moved %d bytes)", (void*)made, drift);
  DWORD_PTR answer = CallStdcall4(OptionsProc, 0, WM_NULL, 0, 0, &drift);
  ok(answer == FALSE && drift == 0, "exports: 241 is a CALLBACK (result %lu, stack moved %d bytes)",
     (unsigned long)answer, drift);
}

// The icon resource's own image for a size, not one scaled by the loader.
static int StoredIconWidth(int id, int size) {
  HRSRC group = FindResourceW(Item, MAKEINTRESOURCEW(id), (LPCWSTR)RT_GROUP_ICON);
  if (!group) return 0;
  PBYTE directory = (PBYTE)LockResource(LoadResource(Item, group));
  int imageId = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
  HRSRC image = FindResourceW(Item, MAKEINTRESOURCEW(imageId), (LPCWSTR)RT_ICON);
  if (!image) return 0;
  const BITMAPINFOHEADER* header = (const BITMAPINFOHEADER*)LockResource(LoadResource(Item, image));
  return header && header->biSize == sizeof(BITMAPINFOHEADER) ? header->biWidth : 0;
}

static bool LoadedIconIs(int id, int size) {
  HICON icon = (HICON)LoadImageW(Item, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0);
  ICONINFO info;
  BITMAP bitmap;
  bool fits = false;
  if (!icon) return false;
  if (GetIconInfo(icon, &info)) {
    fits = GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap) &&
           bitmap.bmWidth == size && bitmap.bmHeight == (info.hbmColor ? size : 2 * size);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
  }
  DestroyIcon(icon);
  return fits;
}

static void IconTests() {
  static const int faces[] = {103, 104, 106, 107, 108, 109, 111, 112, 114, 115};
  ok(LoadedIconIs(111, 32) && LoadedIconIs(111, 24), "icons: Play loads at 32 and 24");
  ok(StoredIconWidth(111, 32) == 32 && StoredIconWidth(112, 32) == 32, "icons: Play faces hold a 32x32 image");
  int missing = 0;
  for (int id : faces)
    if (StoredIconWidth(id, 24) != 24 || !LoadedIconIs(id, 24)) {
      printf("  icon %d has no 24x24 image\n", id);
      missing++;
    }
  ok(missing == 0, "icons: every button face holds a 24x24 image");
  ok(LoadedIconIs(101, 16), "icons: the application logo loads at 16");
}

static void HeightTests(HWND today) {
  static const struct {
    DWORD iconSize;
    DWORD height;
  } sizes[] = {{1, 36}, {0, 28}, {32, 28}, {1, 36}};
  DeleteSettings();
  ok(FindWindowW(NULL, PLAYER_TITLE) == NULL, "height: no player window before the test");

  ZeroMemory(&ItemRecord, sizeof(ItemRecord));
  ok(CreateItem(&ItemRecord, today) == NULL, "item: a disabled item makes no window");
  ok(CreateItem(NULL, today) == NULL, "item: no record, no window");
  ok(RecreateItem(today) != NULL && GetParent(ItemWindow) == today && IsWindowVisible(ItemWindow),
     "item: an enabled item makes a visible child of the Today window");

  LRESULT changed = QueryRefresh();
  ok(ItemRecord.cyp == 20 && changed == TRUE, "height: player away, no settings: 20, changed (%lu, %ld)",
     ItemRecord.cyp, (long)changed);
  changed = QueryRefresh();
  ok(ItemRecord.cyp == 20 && changed == FALSE, "height: asked again: 20, unchanged (%ld)", (long)changed);

  HWND player = StartPlayer();
  changed = QueryRefresh();
  ok(ItemRecord.cyp == 36 && changed == TRUE, "height: player up, no settings: 36 (large buttons), changed (%lu, %ld)",
     ItemRecord.cyp, (long)changed);

  for (const auto& s : sizes) {
    DWORD before = ItemRecord.cyp;
    WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", s.iconSize);
    RecreateItem(today);
    changed = QueryRefresh();
    ok(ItemRecord.cyp == s.height && changed == (before != s.height),
       "height: IconSize %lu after re-creating the item: %lu (got %lu, changed %ld)", s.iconSize, s.height,
       ItemRecord.cyp, (long)changed);
  }

  DestroyWindow(player);
  changed = QueryRefresh();
  ok(ItemRecord.cyp == 20 && changed == TRUE, "height: player gone: 20, changed (%lu, %ld)", ItemRecord.cyp,
     (long)changed);
  ok(PlayerLogCount == 0, "height: the player was sent nothing meanwhile %s", DescribeLog());
}

// With IconSize 1 the buttons are Play 32, then Pause, Stop, Previous, Next at
// 24, from x 29, centred in the item's height.
static void TapTests(HWND today) {
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", 1);
  RecreateItem(today);
  HWND player = StartPlayer();
  QueryRefresh();
  ForgetWatermarkRequests();
  Paint();
  ok(WatermarkRequests() > 0, "taps: painting asks the Today window for the watermark");

  RECT client;
  GetClientRect(ItemWindow, &client);
  int y = client.bottom / 2;
  static const UINT play[] = {0x80C8, 0}, pause[] = {0x80C9, 0}, stop[] = {0x80CA, 0}, next[] = {0x80CC, 0},
                    none[] = {0};
  static const struct {
    int downX, upX;
    const UINT* expected;
    const char* what;
  } taps[] = {
      {45, 45, play, "Play sends 0x80C8"},
      {73, 73, pause, "Pause sends 0x80C9"},
      {97, 97, stop, "Stop sends 0x80CA"},
      {145, 145, next, "Next sends 0x80CC"},
      {45, 97, none, "pen down on Play, up on Stop sends nothing"},
  };
  for (const auto& t : taps) {
    PlayerLogCount = 0;
    Tap(t.downX, y, t.upX, y);
    ok(PlayerGot(t.expected), "taps: %s %s", t.what, DescribeLog());
    ok(GetCapture() == NULL, "taps: capture released at pen up after: %s", t.what);
  }

  // A short tap on empty space: the recogniser sees the pen up and leaves it
  // queued; the item captures the pen and the pump delivers the up.
  ForgetShown();
  PlayerLogCount = 0;
  PostMessageW(ItemWindow, WM_LBUTTONUP, 0, MAKELPARAM(200, y));
  SendMessageW(ItemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, y));
  ok(GetCapture() == ItemWindow, "taps: a short tap on empty space captures the pen");
  Pump();
  ok(GetCapture() == NULL && PlayerGot(none) && MenusShown() == 0,
     "taps: ... and ends with no capture, no command, no menu %s", DescribeLog());

  // Tap-and-hold on empty space: the context menu; its first entry is Mute.
  ForgetShown();
  PlayerLogCount = 0;
  ChooseFromNextMenu(1);
  PutCursorOn(ItemWindow, 200, y);
  SendMessageW(ItemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, y));
  Pump();
  static const UINT mute[] = {0x8037, 0};
  ok(MenusShown() == 1, "taps: a hold on empty space opens the context menu (%d shown)", MenusShown());
  ok(PlayerGot(mute), "taps: its first entry sends Mute 0x8037 %s", DescribeLog());
  ok(GetCapture() == NULL, "taps: no capture after the menu");

  // A hold on a button is no gesture: it presses the button.
  ForgetShown();
  PlayerLogCount = 0;
  DWORD start = GetTickCount();
  Tap(45, y, 45, y);
  ok(MenusShown() == 0 && GetTickCount() - start < 400 && PlayerGot(play),
     "taps: a button goes down at once, with no gesture test");

  ok(BoxesShown() == 0, "taps: no message box");
  DestroyWindow(player);
}

static void CommandTests(HWND today) {
  static const struct {
    WPARAM wParam;
    UINT expected[3];
  } commands[] = {
      {338, {0x8037}},
      {339, {0x8038}},
      {340, {0x8039}},
      {342, {0x80CE}},
      {343, {0x80CD}},
      {341, {0x80D1}},
      {346, {WM_COMMAND}},
      {344, {0}},
      {337, {0}},
      {347, {0}},
      {MAKEWPARAM(338, 1), {0}},
      {(WPARAM)-1, {0}},
      {345, {0x80CA, WM_CLOSE}},
  };
  HWND player = StartPlayer();
  RecreateItem(today);
  QueryRefresh();
  for (const auto& c : commands) {
    PlayerLogCount = 0;
    SendMessageW(ItemWindow, WM_COMMAND, c.wParam, 0);
    Pump();
    ok(PlayerGot(c.expected), "commands: WM_COMMAND 0x%lX gives %s", (unsigned long)c.wParam, DescribeLog());
    if (c.wParam == 346 && PlayerLogCount == 1)
      ok(PlayerLog[0].wParam == 0x9C4B && PlayerLog[0].lParam == 0x002D14C8,
         "commands: Playlist posts WM_COMMAND 0x9C4B, 0x002D14C8");
  }
  ok(!IsWindow(player), "commands: Close Windows Media Player closed the player");
  PlayerLogCount = 0;
  SendMessageW(ItemWindow, WM_COMMAND, 338, 0);
  ok(PlayerLogCount == 0, "commands: a command to the closed player goes nowhere");
}

// A tap on the title of an item whose stored player is `path`: the boxes it
// shows are recorded (see Box).
static void TapTitleWithPlayer(HWND today, const WCHAR* path) {
  WriteText(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"WMPApplication", path);
  RecreateItem(today);
  QueryRefresh();
  ForgetShown();
  Tap(100, 10, 100, 10);
  PumpFor(300);
}

// In the title view a tap starts the player program; a program that is not
// there is reported by name.
static void LaunchFailureTests(HWND today) {
  DeleteSettings();
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", 0);
  TapTitleWithPlayer(today, L"C:\\nowhere\\player.exe");
  const ShownBox* box = Box(0);
  ok(BoxesShown() == 1 && box && lstrcmpW(box->text, L"\"C:\\nowhere\\player.exe\" no found.") == 0 &&
         lstrcmpW(box->caption, L"WMPCrestune") == 0,
     "launch: a missing player is reported as \"<path>\" no found. in a box captioned WMPCrestune (%d shown: %ls | %ls)",
     BoxesShown(), box ? box->caption : L"", box ? box->text : L"");

  // A stored path of MAX_PATH units or more names no file; the shell, which
  // overruns its own buffers on such a path, never sees it.
  static const int lengths[] = {MAX_PATH, 1023};
  for (int units : lengths) {
    WCHAR longPath[1024];
    lstrcpyW(longPath, L"C:\\");
    for (int i = 3; i < units - 4; ++i) longPath[i] = L'p';
    lstrcpyW(longPath + units - 4, L".exe");
    TapTitleWithPlayer(today, longPath);
    box = Box(0);
    int length = box ? lstrlenW(box->text) : 0;
    ok(BoxesShown() == 1 && length > 16 && length < 200 && lstrcmpW(box->text + length - 16, L"p.exe\" no found.") == 0,
       "launch: a %d-unit path is reported in a bounded box without reaching the shell (%d shown, %d long)", units,
       BoxesShown(), length);
  }
}

void ItemTests() {
  Item = LoadBesideProgram(L"crestitem.dll");
  if (!ok(Item != NULL, "load: crestitem.dll loads (error %lu)", GetLastError())) return;

  ExportTests();
  IconTests();
  if (!CreateItem) return;
  HWND today = MakeTodayWindow();
  HeightTests(today);
  TapTests(today);
  CommandTests(today);
  LaunchFailureTests(today);

  ForgetShown();
  DestroyWindow(ItemWindow);
  ItemWindow = NULL;
  WNDCLASSW wc;
  ok(GetClassInfoW(Item, L"_WMPCrestuneClass", &wc), "unload: the item class is registered while loaded");
  HINSTANCE instance = Item;
  ok(FreeLibrary(Item), "unload: FreeLibrary succeeds");
  PumpFor(200);
  ok(!GetClassInfoW(instance, L"_WMPCrestuneClass", &wc) && BoxesShown() == 0,
     "unload: the item class is unregistered, quietly");
  DestroyWindow(today);
  DeleteSettings();
}
