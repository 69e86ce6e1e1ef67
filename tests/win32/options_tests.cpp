// The options page of crestitem.dll as the Today settings run it: template
// 500 with the procedure of ordinal 241, modal, driven from inside its loop.
// What it shows, where the credit lines go, which commands end it, and what
// OK and Cancel leave in the registry. The contact link opens a mail program
// that this test host stands in for.
#include "harness.h"

#include <shellapi.h>
#include <stdio.h>
#include <todaycmn.h>

#define MAILTO_KEY L"mailto\\shell\\open\\command"
#define MARKER_KEY L"Software\\Crestune Wine Tests"
#define CONTACT_TEXT L"team@crestune.org"

static HMODULE Item;
static DLGPROC OptionsProc;
static HWND Parent;

// ---- The mail program: this host, started with --mailto <address> -------------

// How many times the mail program has started since InstallMailProgram().
static DWORD MailLaunches() {
  StoredValue v = ReadValue(HKEY_CURRENT_USER, MARKER_KEY, L"Launches");
  return v.found ? *(DWORD*)v.data : 0;
}

bool RunAsMailProgram() {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  bool isMail = args && count == 3 && lstrcmpW(args[1], L"--mailto") == 0;
  if (isMail) {
    WriteText(HKEY_CURRENT_USER, MARKER_KEY, L"Address", args[2]);
    WriteDword(HKEY_CURRENT_USER, MARKER_KEY, L"Launches", MailLaunches() + 1);
  }
  LocalFree(args);
  return isMail;
}

static StoredValue OldMailProgram;

static void InstallMailProgram() {
  WCHAR exe[MAX_PATH], command[MAX_PATH + 32];
  OldMailProgram = ReadValue(HKEY_CLASSES_ROOT, MAILTO_KEY, NULL);
  GetModuleFileNameW(NULL, exe, MAX_PATH);
  wsprintfW(command, L"\"%s\" --mailto \"%%1\"", exe);
  WriteText(HKEY_CLASSES_ROOT, MAILTO_KEY, NULL, command);
  RegDeleteTreeW(HKEY_CURRENT_USER, MARKER_KEY);
}

static void RemoveMailProgram() {
  if (OldMailProgram.found)
    WriteValue(HKEY_CLASSES_ROOT, MAILTO_KEY, NULL, OldMailProgram.type, OldMailProgram.data, OldMailProgram.size);
  else
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"mailto");
  RegDeleteTreeW(HKEY_CURRENT_USER, MARKER_KEY);
}

// ---- Driving the page ------------------------------------------------------------

#define TEXT_UNITS 64
#define PATH_UNITS 2048
static const int TextIds[] = {1010, 1009, 1006, 1015, 1018, 1019};
static const struct {
  int id, cx, cy;  // size in the template, dialog units
  int above;       // pixels above the dialog's bottom edge
} Credits[] = {{1014, 70, 8, 45}, {1013, 112, 8, 60}, {1012, 72, 8, 75}, {1011, 118, 8, 90}};

enum Ending { OK_WITH_HIGH_WORD, OK_BUTTON, CANCEL_BUTTON };

static struct {
  // What to do
  int click;          // radio button to click, or 0
  LPCWSTR typedPath;  // text put into the path field, or NULL
  bool probeCommands;
  Ending ending;
  // What was seen
  bool shown;
  WCHAR caption[TEXT_UNITS];
  WCHAR texts[6][TEXT_UNITS];
  LRESULT large, standard;
  WCHAR path[PATH_UNITS];
  RECT window;
  POINT creditAt[4];
  bool creditSizeKept;
  HFONT headingFont, linkFont;
  LOGFONTW heading, link;
  bool openAfterCancel, openAfterNotification;
  DWORD launchesAfterNotification, launchesAfterClick;
  WCHAR address[TEXT_UNITS];
} Page;

static HFONT ControlFont(HWND dialog, int id, LOGFONTW* font) {
  HFONT handle = (HFONT)SendMessageW(GetDlgItem(dialog, id), WM_GETFONT, 0, 0);
  ZeroMemory(font, sizeof(*font));
  if (handle) GetObjectW(handle, sizeof(*font), font);
  return handle;
}

static void ReadPage(HWND dialog) {
  Page.shown = true;
  GetWindowTextW(dialog, Page.caption, TEXT_UNITS);
  for (int i = 0; i < 6; i++) GetDlgItemTextW(dialog, TextIds[i], Page.texts[i], TEXT_UNITS);
  Page.large = SendDlgItemMessageW(dialog, 1009, BM_GETCHECK, 0, 0);
  Page.standard = SendDlgItemMessageW(dialog, 1006, BM_GETCHECK, 0, 0);
  GetDlgItemTextW(dialog, 1017, Page.path, PATH_UNITS);
  GetWindowRect(dialog, &Page.window);
  Page.creditSizeKept = true;
  for (int i = 0; i < 4; i++) {
    HWND control = GetDlgItem(dialog, Credits[i].id);
    RECT r, size = {0, 0, Credits[i].cx, Credits[i].cy};
    GetWindowRect(control, &r);
    MapDialogRect(dialog, &size);
    if (r.right - r.left != size.right || r.bottom - r.top != size.bottom) Page.creditSizeKept = false;
    Page.creditAt[i].x = r.left;
    Page.creditAt[i].y = r.top;
    ScreenToClient(dialog, &Page.creditAt[i]);
  }
  Page.headingFont = ControlFont(dialog, 1010, &Page.heading);
  LOGFONTW other;
  if (ControlFont(dialog, 1015, &other) != Page.headingFont) Page.headingFont = NULL;
  Page.linkFont = ControlFont(dialog, 1014, &Page.link);
}

static void WaitForMailLaunches(DWORD count, DWORD ms) {
  for (DWORD waited = 0; MailLaunches() < count && waited < ms; waited += 50) Sleep(50);
}

static void ProbeCommands(HWND dialog) {
  SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  Page.openAfterCancel = IsWindowVisible(dialog);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(1014, STN_DBLCLK), (LPARAM)GetDlgItem(dialog, 1014));
  Page.openAfterNotification = IsWindowVisible(dialog);
  // A notification that wrongly opened the link would show within this wait.
  WaitForMailLaunches(1, 1000);
  Page.launchesAfterNotification = MailLaunches();
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(1014, STN_CLICKED), (LPARAM)GetDlgItem(dialog, 1014));
  WaitForMailLaunches(Page.launchesAfterNotification + 1, 10000);
  Page.launchesAfterClick = MailLaunches();
  StoredValue address = ReadValue(HKEY_CURRENT_USER, MARKER_KEY, L"Address");
  if (address.found) lstrcpynW(Page.address, (LPCWSTR)address.data, TEXT_UNITS);
}

static void DrivePage(HWND dialog) {
  ReadPage(dialog);
  if (Page.probeCommands) ProbeCommands(dialog);
  if (Page.click) SendDlgItemMessageW(dialog, Page.click, BM_CLICK, 0, 0);
  if (Page.typedPath) SetDlgItemTextW(dialog, 1017, Page.typedPath);
  switch (Page.ending) {
    case OK_WITH_HIGH_WORD:
      SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 5), 0);
      break;
    case OK_BUTTON:  // the navigation bar's OK
      SendDlgItemMessageW(dialog, IDOK, BM_CLICK, 0, 0);
      break;
    case CANCEL_BUTTON:
      SendDlgItemMessageW(dialog, 1019, BM_CLICK, 0, 0);
      break;
  }
}

// Runs the page as the Today settings do and answers the dialog's result.
static INT_PTR RunPage(int click, LPCWSTR typedPath, Ending ending, bool probeCommands = false) {
  ZeroMemory(&Page, sizeof(Page));
  Page.click = click;
  Page.typedPath = typedPath;
  Page.ending = ending;
  Page.probeCommands = probeCommands;
  DriveNextDialog(DrivePage);
  INT_PTR result = DialogBoxParamW(Item, MAKEINTRESOURCEW(500), Parent, OptionsProc, 0);
  DriveNextDialog(NULL);
  return result;
}

// ---- Registry --------------------------------------------------------------------

static bool SameValue(const StoredValue& a, const StoredValue& b) {
  return a.found == b.found && a.type == b.type && a.size == b.size && memcmp(a.data, b.data, a.size) == 0;
}


// ---- The tests -----------------------------------------------------------------

static void EnglishPageTests() {
  static const LPCWSTR texts[] = {L"Display:",         L"Large Buttons",
                                  L"Standard Buttons", L"Windows Media Player Application:",
                                  L"Browse...",        L"Cancel"};
  static const WCHAR typed[] = L"D:\\Media\\Player\\wmplayer.exe";
  DeleteSettings();
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", 1);
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"Language", 0);
  WriteText(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"WMPApplication", L"C:\\Media\\wmplayer.exe");
  InstallMailProgram();

  INT_PTR result = RunPage(1006, typed, OK_WITH_HIGH_WORD, true);
  if (!ok(Page.shown, "options: the page opens (result %ld)", (long)result)) return;
  ok(lstrcmpW(Page.caption, L"Settings") == 0, "options: caption Settings (%ls)", Page.caption);
  int wrong = 0;
  for (int i = 0; i < 6; i++)
    if (lstrcmpW(Page.texts[i], texts[i]) != 0) {
      printf("  control %d shows \"%ls\", not \"%ls\"\n", TextIds[i], Page.texts[i], texts[i]);
      wrong++;
    }
  ok(wrong == 0, "options: the six control texts come from the English table");
  ok(Page.large == BST_CHECKED && Page.standard == BST_UNCHECKED, "options: IconSize 1 checks Large Buttons only");
  ok(lstrcmpW(Page.path, L"C:\\Media\\wmplayer.exe") == 0, "options: the path field shows WMPApplication (%ls)",
     Page.path);

  int misplaced = 0;
  for (int i = 0; i < 4; i++)
    if (Page.creditAt[i].x != 7 || Page.creditAt[i].y != Page.window.bottom - Credits[i].above) {
      printf("  control %d at (%ld,%ld), not (7,%ld)\n", Credits[i].id, Page.creditAt[i].x, Page.creditAt[i].y,
             Page.window.bottom - Credits[i].above);
      misplaced++;
    }
  ok(misplaced == 0 && Page.creditSizeKept,
     "options: credit lines at client x 7, y B-90..B-45 for window bottom B %ld, sizes kept", Page.window.bottom);

  HDC screen = GetDC(NULL);
  LONG height = -17 * GetDeviceCaps(screen, LOGPIXELSY) / 144;
  ReleaseDC(NULL, screen);
  ok(Page.headingFont && Page.heading.lfHeight == height && Page.heading.lfWeight == 600 && !Page.heading.lfUnderline &&
         lstrcmpW(Page.heading.lfFaceName, L"Tahoma") == 0,
     "options: both labels get the heading font, Tahoma %ld weight 600 (%ld, %ld, %ls)", height,
     Page.heading.lfHeight, Page.heading.lfWeight, Page.heading.lfFaceName);
  ok(Page.linkFont && Page.link.lfHeight == height && Page.link.lfUnderline && Page.link.lfWeight == 0,
     "options: the contact link gets the underlined link font (%ld, %d)", Page.link.lfHeight, Page.link.lfUnderline);

  ok(Page.openAfterCancel, "options: IDCANCEL does not close the page");
  ok(Page.openAfterNotification && Page.launchesAfterNotification == 0,
     "options: a link notification other than a click opens nothing (%lu launches)", Page.launchesAfterNotification);
  ok(Page.launchesAfterClick == 1 && lstrcmpW(Page.address, L"mailto:" CONTACT_TEXT) == 0,
     "options: a click on the link opens mailto: and the link's text (%lu launches, %ls)", Page.launchesAfterClick,
     Page.address);

  ok(result == 1, "options: WM_COMMAND IDOK with a notification code ends the page with 1 (%ld)", (long)result);
  ok(DwordValueIs(Setting(L"IconSize"), 0), "options: Standard Buttons saves IconSize 0");
  StoredValue path = Setting(L"WMPApplication");
  ok(StoredPathIs(typed), "options: the typed path is saved as REG_SZ of 2048 bytes (type %lu, %lu bytes, %ls)",
     path.type, path.size, (LPCWSTR)path.data);
  ok(DwordValueIs(Setting(L"Language"), 0), "options: Language untouched");
  ok(GetObjectType(Page.headingFont) == 0 && GetObjectType(Page.linkFont) == 0,
     "options: both fonts are deleted with the page");
  Sleep(500);
  ok(MailLaunches() == 1, "options: no late mail launch (%lu)", MailLaunches());
  RemoveMailProgram();
}

static void CancelTests() {
  static const LPCWSTR names[] = {L"IconSize", L"Language", L"WMPApplication"};
  StoredValue before[3];
  for (int i = 0; i < 3; i++) before[i] = Setting(names[i]);
  INT_PTR result = RunPage(1009, L"E:\\elsewhere.exe", CANCEL_BUTTON);
  ok(Page.shown && Page.large == BST_UNCHECKED && Page.standard == BST_CHECKED,
     "options: IconSize 0 checks Standard Buttons only");
  ok(result == 1019, "options: the Cancel button ends the page with 1019 (%ld)", (long)result);
  bool same = true;
  for (int i = 0; i < 3; i++) same = same && SameValue(before[i], Setting(names[i]));
  ok(same, "options: Cancel leaves the registry as it was");
}

static void LongPathTests() {
  static WCHAR longPath[1501];
  lstrcpyW(longPath, L"C:\\");
  for (int i = 3; i < 1500; i++) longPath[i] = L'a' + i % 26;
  longPath[1500] = 0;
  INT_PTR result = RunPage(0, longPath, OK_BUTTON);
  WCHAR first[1024];
  lstrcpynW(first, longPath, 1024);  // 1023 characters and the terminator
  StoredValue v = Setting(L"WMPApplication");
  ok(result == 1 && StoredPathIs(first),
     "options: a path of 1500 characters saves its first 1023, in 2048 bytes (result %ld, %d characters, %lu bytes)",
     (long)result, lstrlenW((LPCWSTR)v.data), v.size);
}

// Before any item window the stored language decides; once an item window
// exists, its choice holds until the item window is created again.
static void LanguageTests() {
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"Language", 2);
  INT_PTR result = RunPage(1009, NULL, OK_BUTTON);
  ok(lstrcmpW(Page.caption, L"Configuración") == 0 && lstrcmpW(Page.texts[1], L"Iconos Grandes") == 0 &&
         lstrcmpW(Page.texts[5], L"Cancelar") == 0,
     "options: Language 2 before any item window: Spanish (%ls, %ls, %ls)", Page.caption, Page.texts[1],
     Page.texts[5]);
  ok(result == 1 && DwordValueIs(Setting(L"Language"), 2) && DwordValueIs(Setting(L"IconSize"), 1),
     "options: OK saves IconSize 1 for Large Buttons and keeps Language 2");

  PFNCUSTOMINITIALIZEITEM createItem =
      (PFNCUSTOMINITIALIZEITEM)(void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_INITIALIZEITEM));
  TODAYLISTITEM record;
  ZeroMemory(&record, sizeof(record));
  record.fEnabled = TRUE;
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"Language", 0);
  HWND item = createItem ? createItem(&record, Parent) : NULL;
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"Language", 1);
  result = RunPage(0, NULL, CANCEL_BUTTON);
  ok(item && lstrcmpW(Page.caption, L"Settings") == 0 && lstrcmpW(Page.texts[0], L"Display:") == 0,
     "options: an English item window keeps the page English after Language changes to 1 (%ls)", Page.caption);
  if (item) DestroyWindow(item);
}

void OptionsTests() {
  Item = LoadBesideProgram(L"crestitem.dll");
  if (!ok(Item != NULL, "options: crestitem.dll loads (error %lu)", Item ? 0 : GetLastError())) return;
  OptionsProc = (DLGPROC)(void*)GetProcAddress(Item, MAKEINTRESOURCEA(ORDINAL_OPTIONSDIALOGPROC));
  Parent = CreateWindowExW(0, L"STATIC", L"Today settings", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 240, 320, NULL,
                           NULL, GetModuleHandleW(NULL), NULL);
  if (OptionsProc) {
    EnglishPageTests();
    CancelTests();
    LongPathTests();
    LanguageTests();
  }
  DestroyWindow(Parent);
  FreeLibrary(Item);
  DeleteSettings();
  ok(!KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY), "options: no settings left behind");
}
