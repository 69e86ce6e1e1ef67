// setup.dll as the CAB installer drives it: its four hooks, the language
// chooser (driven from inside its modal loop), the first settings it writes
// with the player found through the .wmv association, and the removal of the
// Today item registration and the settings.
#include <ce_setup.h>
#include <stdio.h>

#include "harness.h"

#define ITEM_KEY L"Software\\Microsoft\\Today\\Items\\WMP Crestune"
#define INSTALL_DIR L"\\Program Files\\Crestune"
#define TEST_CLASS L"CrestuneTest.wmvfile"
#define TEST_COMMAND_KEY TEST_CLASS L"\\Shell\\Open\\Command"
#define REFRESH_WPARAM 0xF2

static HMODULE Setup;
static pfnINSTALL_INIT InstallInit;
static pfnINSTALL_EXIT InstallExit;
static pfnUNINSTALL_INIT UninstallInit;
static pfnUNINSTALL_EXIT UninstallExit;

// ---- A top-level window that counts Today refresh broadcasts -------------------

static int Refreshes;
static LRESULT CALLBACK ListenerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_WININICHANGE && wParam == REFRESH_WPARAM) Refreshes++;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

static HWND MakeListener() {
  return MakeTestWindow(L"CrestuneTestListener", ListenerProc, L"listener", WS_POPUP, 0, 0, 10, 10);
}

// ---- The .wmv association -------------------------------------------------------

static bool HadWmv;
static StoredValue OldWmv;

static void SaveWmvAssociation() {
  HadWmv = KeyExists(HKEY_CLASSES_ROOT, L".wmv");
  OldWmv = ReadValue(HKEY_CLASSES_ROOT, L".wmv", NULL);
}

static void RemoveWmvAssociation() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, TEST_CLASS);
  if (!HadWmv) {
    RegDeleteKeyW(HKEY_CLASSES_ROOT, L".wmv");
  } else if (OldWmv.found) {
    WriteValue(HKEY_CLASSES_ROOT, L".wmv", NULL, OldWmv.type, OldWmv.data, OldWmv.size);
  } else {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L".wmv", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueW(key, NULL);
      RegCloseKey(key);
    }
  }
}

// A NULL command leaves the class without its command key.
static void SetWmvAssociation(LPCWSTR command) {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, TEST_CLASS);
  WriteText(HKEY_CLASSES_ROOT, L".wmv", NULL, TEST_CLASS);
  if (command)
    WriteText(HKEY_CLASSES_ROOT, TEST_COMMAND_KEY, NULL, command);
  else
    WriteText(HKEY_CLASSES_ROOT, TEST_CLASS, NULL, L"Windows Media file");
}

// ---- Driving the language chooser ----------------------------------------------

#define TEXT_UNITS 128
struct ChooserTexts {
  WCHAR title[TEXT_UNITS], prompt[TEXT_UNITS], ok[TEXT_UNITS], cancel[TEXT_UNITS];
};

static struct {
  // What to do
  int select;         // -1: leave the combo box alone
  bool backToEnglish;  // then select index 0 again
  int endWith;        // IDOK or IDCANCEL
  // What was seen
  bool shown;
  DWORD shownAt;
  bool itemKeyPresent, settingsPresent;
  int refreshesBefore;
  int count, initial;
  WCHAR second[TEXT_UNITS];
  ChooserTexts before, switched, restored;
} Chooser;

static void ReadChooserTexts(HWND dialog, ChooserTexts* texts) {
  GetWindowTextW(dialog, texts->title, TEXT_UNITS);
  GetDlgItemTextW(dialog, 1001, texts->prompt, TEXT_UNITS);
  GetDlgItemTextW(dialog, IDOK, texts->ok, TEXT_UNITS);
  GetDlgItemTextW(dialog, IDCANCEL, texts->cancel, TEXT_UNITS);
}

// Selects an entry as the user would: the combo box changes its selection
// and tells its dialog.
static void SelectLanguage(HWND dialog, int index) {
  HWND combo = GetDlgItem(dialog, 1000);
  SendMessageW(combo, CB_SETCURSEL, index, 0);
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(1000, CBN_SELCHANGE), (LPARAM)combo);
}

static void DriveChooser(HWND dialog) {
  HWND combo = GetDlgItem(dialog, 1000);
  Chooser.shown = true;
  Chooser.shownAt = GetTickCount();
  Chooser.itemKeyPresent = KeyExists(HKEY_LOCAL_MACHINE, ITEM_KEY);
  Chooser.settingsPresent = KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY);
  Chooser.refreshesBefore = Refreshes;
  Chooser.count = (int)SendMessageW(combo, CB_GETCOUNT, 0, 0);
  Chooser.initial = (int)SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (SendMessageW(combo, CB_GETLBTEXTLEN, 1, 0) < TEXT_UNITS)
    SendMessageW(combo, CB_GETLBTEXT, 1, (LPARAM)Chooser.second);
  ReadChooserTexts(dialog, &Chooser.before);
  if (Chooser.select >= 0) {
    SelectLanguage(dialog, Chooser.select);
    ReadChooserTexts(dialog, &Chooser.switched);
    if (Chooser.backToEnglish) {
      SelectLanguage(dialog, 0);
      ReadChooserTexts(dialog, &Chooser.restored);
    }
  }
  SendMessageW(GetDlgItem(dialog, Chooser.endWith), BM_CLICK, 0, 0);
}

static codeINSTALL_INIT RunInstallInit(BOOL previouslyInstalled, int select, int endWith,
                                       bool backToEnglish = false) {
  ZeroMemory(&Chooser, sizeof(Chooser));
  Chooser.select = select;
  Chooser.backToEnglish = backToEnglish;
  Chooser.endWith = endWith;
  DriveNextDialog(DriveChooser);
  codeINSTALL_INIT answer = InstallInit(NULL, TRUE, previouslyInstalled, INSTALL_DIR);
  DriveNextDialog(NULL);
  return answer;
}

static bool SameTexts(const ChooserTexts& t, LPCWSTR title, LPCWSTR prompt, LPCWSTR okText, LPCWSTR cancel) {
  return lstrcmpW(t.title, title) == 0 && lstrcmpW(t.prompt, prompt) == 0 && lstrcmpW(t.ok, okText) == 0 &&
         lstrcmpW(t.cancel, cancel) == 0;
}

static bool English(const ChooserTexts& t) {
  return SameTexts(t, L"Choose Setup Language", L"Select the language for this instalation from the choices below.",
                   L"OK", L"Cancel");
}

static bool Spanish(const ChooserTexts& t) {
  return SameTexts(t, L"Selección de Idioma de Configuración",
                   L"Seleccione uno de los siguientes idiomas para la instalación.", L"Aceptar", L"Cancelar");
}

#define ITEMS_KEY L"Software\\Microsoft\\Today\\Items"
static bool HadItemsKey, HadTodayKey;

static void DeleteKeys() {
  DeleteSettings();
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, ITEM_KEY);
}

static void RegisterTodayItem() { WriteDword(HKEY_LOCAL_MACHINE, ITEM_KEY, L"Type", 4); }

// ---- The tests -----------------------------------------------------------------

static void ExportTests() {
  InstallInit = (pfnINSTALL_INIT)(void*)GetProcAddress(Setup, "Install_Init");
  InstallExit = (pfnINSTALL_EXIT)(void*)GetProcAddress(Setup, "Install_Exit");
  UninstallInit = (pfnUNINSTALL_INIT)(void*)GetProcAddress(Setup, "Uninstall_Init");
  UninstallExit = (pfnUNINSTALL_EXIT)(void*)GetProcAddress(Setup, "Uninstall_Exit");
  ok(InstallInit && InstallExit && UninstallInit && UninstallExit, "setup: the four hooks are exported by name");
  ok(!GetProcAddress(Setup, "_Install_Init") && !GetProcAddress(Setup, "Install_Init@16") &&
         !GetProcAddress(Setup, "DllMain"),
     "setup: no decorated names, nothing else by name");
  if (!UninstallExit) return;
  int drift = 0;
  DWORD_PTR answer = CallCdecl2((void*)UninstallExit, 0, 0, &drift);
  ok(answer == codeUNINSTALL_EXIT_DONE && drift == 0,
     "setup: the hooks are C functions as the installer's typedefs declare (result %lu, stack moved %d bytes)",
     (unsigned long)answer, drift);
}

static void ChooserTests() {
  static const struct {
    LPCWSTR command;  // of the .wmv class; NULL: see association
    bool associated;
    LPCWSTR expected;
  } players[] = {
      {L"\"C:\\Program Files\\Windows Media Player\\wmplayer.exe\" /prefetch:6 /Open \"%L\"", true,
       L"C:\\Program Files\\Windows Media Player\\wmplayer.exe"},
      {L"C:\\Players\\mplayer2.exe /Play \"%L\"", true, L"C:\\Players\\mplayer2.exe"},
      {L"C:\\Program Files\\Player\\play.exe %1", true, L"C:\\Program"},
      {L"\"C:\\Unclosed Quote\\play.exe", true, L"C:\\Unclosed Quote\\play.exe"},
      {NULL, true, L"wmplayer.exe"},   // a class without a command key
      {NULL, false, L"wmplayer.exe"},  // no .wmv at all
  };
  DeleteKeys();
  SaveWmvAssociation();

  // English, OK without touching the combo box.
  SetWmvAssociation(players[0].command);
  Refreshes = 0;
  codeINSTALL_INIT answer = RunInstallInit(FALSE, -1, IDOK);
  ok(Chooser.shown && answer == codeINSTALL_INIT_CONTINUE, "install: OK answers 0 (shown %d, answer %d)",
     Chooser.shown, answer);
  ok(Chooser.count == 2 && Chooser.initial == 0 && lstrcmpW(Chooser.second, L"Español") == 0,
     "chooser: two languages, English selected, then Español (%d, %d, %ls)", Chooser.count, Chooser.initial,
     Chooser.second);
  ok(English(Chooser.before), "chooser: English texts at first (%ls | %ls | %ls | %ls)", Chooser.before.title,
     Chooser.before.prompt, Chooser.before.ok, Chooser.before.cancel);
  ok(!Chooser.settingsPresent && Refreshes == 0, "install: nothing written, nothing broadcast before OK");
  ok(DwordValueIs(Setting(L"IconSize"), 32) && DwordValueIs(Setting(L"Language"), 0),
     "install: OK writes IconSize 32 and Language 0");

  // Spanish: the texts switch at once, and back again.
  DeleteKeys();
  answer = RunInstallInit(FALSE, 1, IDCANCEL, true);
  ok(Spanish(Chooser.switched), "chooser: Español switches all four texts (%ls | %ls | %ls | %ls)",
     Chooser.switched.title, Chooser.switched.prompt, Chooser.switched.ok, Chooser.switched.cancel);
  ok(English(Chooser.restored), "chooser: English again restores them");
  ok(answer == codeINSTALL_INIT_CANCEL && !KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY),
     "install: Cancel answers 1 and writes nothing (answer %d)", answer);

  answer = RunInstallInit(FALSE, 1, IDOK);
  ok(answer == codeINSTALL_INIT_CONTINUE && Spanish(Chooser.switched) && DwordValueIs(Setting(L"Language"), 1) &&
         DwordValueIs(Setting(L"IconSize"), 32),
     "install: Español then OK answers 0 and writes Language 1, IconSize 32 (answer %d)", answer);

  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"Language", 7);
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", 1);
  answer = RunInstallInit(FALSE, 1, IDCANCEL);
  ok(answer == codeINSTALL_INIT_CANCEL && DwordValueIs(Setting(L"Language"), 7) &&
         DwordValueIs(Setting(L"IconSize"), 1),
     "install: Cancel in Spanish answers 1 and leaves earlier settings as they were");

  // The player path, from each kind of association.
  for (const auto& p : players) {
    DeleteKeys();
    if (p.associated)
      SetWmvAssociation(p.command);
    else
      RemoveWmvAssociation();
    answer = RunInstallInit(FALSE, -1, IDOK);
    StoredValue v = Setting(L"WMPApplication");
    ok(answer == codeINSTALL_INIT_CONTINUE && StoredPathIs(p.expected),
       "install: command %ls gives WMPApplication \"%ls\", REG_SZ of 2048 bytes (got \"%ls\", type %lu, %lu bytes)",
       p.command ? p.command : p.associated ? L"(none)" : L"(no .wmv)", p.expected, (LPCWSTR)v.data, v.type, v.size);
  }
  RemoveWmvAssociation();
  ok(HadWmv || !KeyExists(HKEY_CLASSES_ROOT, L".wmv"), "install: the test association is gone");

  // Over an earlier installation the old registration goes, and the Today
  // screen hears of it, before the chooser shows; Cancel does not undo that.
  DeleteKeys();
  RegisterTodayItem();
  Refreshes = 0;
  DWORD start = GetTickCount();
  answer = RunInstallInit(TRUE, -1, IDCANCEL);
  ok(Chooser.shown && !Chooser.itemKeyPresent && Chooser.refreshesBefore == 1 && Chooser.shownAt - start >= 1900,
     "install: over an earlier one: registration deleted, one refresh, a 2 s wait, then the chooser "
     "(key %d, refreshes %d, shown after %lu ms)",
     Chooser.itemKeyPresent, Chooser.refreshesBefore, Chooser.shownAt - start);
  ok(answer == codeINSTALL_INIT_CANCEL && !KeyExists(HKEY_LOCAL_MACHINE, ITEM_KEY) &&
         !KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY),
     "install: ... Cancel answers 1, the registration stays deleted, no settings");

  Refreshes = 0;
  codeINSTALL_EXIT done = InstallExit(NULL, INSTALL_DIR, 1, 2, 3, 4, 5);
  ok(done == codeINSTALL_EXIT_DONE && Refreshes == 1, "install: Install_Exit answers 0 and refreshes once (%d)",
     Refreshes);
  DeleteKeys();
}

static void UninstallTests(HWND owner) {
  ForgetShown();
  DeleteKeys();
  RegisterTodayItem();
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", 1);
  Refreshes = 0;
  DWORD start = GetTickCount();
  codeUNINSTALL_INIT answer = UninstallInit(owner, INSTALL_DIR);
  DWORD elapsed = GetTickCount() - start;
  ok(answer == codeUNINSTALL_INIT_CONTINUE && !KeyExists(HKEY_LOCAL_MACHINE, ITEM_KEY) &&
         !KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY),
     "uninstall: answers 0, registration and settings deleted (answer %d)", answer);
  ok(Refreshes == 1 && elapsed >= 1900 && BoxesShown() == 0,
     "uninstall: one refresh, a 2 s wait, no message (%d, %lu ms, %d boxes)", Refreshes, elapsed, BoxesShown());

  // An already-missing registration counts as removed.
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", 1);
  answer = UninstallInit(owner, INSTALL_DIR);
  ok(answer == codeUNINSTALL_INIT_CONTINUE && !KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY) && BoxesShown() == 0,
     "uninstall: with the registration already gone: answers 0 quietly, settings deleted (answer %d)", answer);

  // A registration that cannot be deleted (desktop Win32 refuses a key with
  // subkeys): the error box, owned by the installer's window, and Cancel.
  RegisterTodayItem();
  WriteDword(HKEY_LOCAL_MACHINE, ITEM_KEY L"\\Pinned", L"x", 1);
  WriteDword(HKEY_LOCAL_MACHINE, SETTINGS_KEY, L"IconSize", 1);
  Refreshes = 0;
  ForgetShown();
  answer = UninstallInit(owner, INSTALL_DIR);
  const ShownBox* box = Box(0);
  ok(answer == codeUNINSTALL_INIT_CANCEL && BoxesShown() == 1 && box &&
         lstrcmpW(box->text, L"RemoveTodayItem()") == 0 && lstrcmpW(box->caption, L"Uninstall WMP Crestune Error") == 0,
     "uninstall: a registration that will not go: error box, answers 1 (answer %d, %d boxes: %ls | %ls)", answer,
     BoxesShown(), box ? box->caption : L"", box ? box->text : L"");
  ok(KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY) && Refreshes == 0,
     "uninstall: ... the settings stay, nothing is broadcast");

  Refreshes = 0;
  ok(UninstallExit(owner) == codeUNINSTALL_EXIT_DONE && Refreshes == 0 &&
         KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY),
     "uninstall: Uninstall_Exit answers 0 and touches nothing");
  DeleteKeys();
  ForgetShown();
}

void SetupTests() {
  Setup = LoadBesideProgram(L"setup.dll");
  if (!ok(Setup != NULL, "setup: setup.dll loads (error %lu)", Setup ? 0 : GetLastError())) return;
  HadItemsKey = KeyExists(HKEY_LOCAL_MACHINE, ITEMS_KEY);
  HadTodayKey = KeyExists(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today");
  ExportTests();
  if (InstallInit && InstallExit && UninstallInit && UninstallExit) {
    HWND listener = MakeListener();
    ChooserTests();
    UninstallTests(listener);
    DestroyWindow(listener);
  }
  // RegDeleteKeyW leaves a key that still has subkeys.
  if (!HadItemsKey) RegDeleteKeyW(HKEY_LOCAL_MACHINE, ITEMS_KEY);
  if (!HadTodayKey) RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today");
  ok(!KeyExists(HKEY_LOCAL_MACHINE, SETTINGS_KEY) && !KeyExists(HKEY_LOCAL_MACHINE, ITEM_KEY) &&
         (HadItemsKey || !KeyExists(HKEY_LOCAL_MACHINE, ITEMS_KEY)),
     "setup: no keys left behind");
  FreeLibrary(Setup);
}
