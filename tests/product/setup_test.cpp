// setup.dll as the CAB installer drives it: its four hooks, the language
// chooser (driven from inside its modal loop), the first settings it writes
// with the player found through the .wmv association, and the removal of the
// Today item's registration and the settings, each announced to the Today
// screen by one refresh broadcast.
#include <ce_setup.h>

#include "product.h"

namespace product {
namespace {

#define TEST_CLASS TEXT("CrestuneTest.wmvfile")
constexpr int kLanguageList = 1000, kPrompt = 1001;

// What the chooser showed: its title, prompt, OK and Cancel.
using Texts = std::vector<WString>;
const Texts kEnglish{TEXT("Choose Setup Language"),
                     TEXT("Select the language for this instalation from the choices below."), TEXT("OK"),
                     TEXT("Cancel")};
const Texts kSpanish{TEXT("Selección de Idioma de Configuración"),
                     TEXT("Seleccione uno de los siguientes idiomas para la instalación."), TEXT("Aceptar"),
                     TEXT("Cancelar")};

Texts textsOf(HWND d) {
  Texts t;
  for (int id : {0, kPrompt, IDOK, IDCANCEL}) t.push_back(textOf(d, id));
  return t;
}

// Selects an entry as the person would: the list changes its selection and
// tells its dialog.
void selectLanguage(HWND d, int index) {
  HWND list = GetDlgItem(d, kLanguageList);
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  SendMessageW(d, WM_COMMAND, MAKEWPARAM(kLanguageList, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

class Setup : public ProductTest {
 protected:
  void SetUp() override {
    ProductTest::SetUp();
    loadSetup();
    installInit = hook<pfnINSTALL_INIT>("Install_Init");
    installExit = hook<pfnINSTALL_EXIT>("Install_Exit");
    uninstallInit = hook<pfnUNINSTALL_INIT>("Uninstall_Init");
    uninstallExit = hook<pfnUNINSTALL_EXIT>("Uninstall_Exit");
    ASSERT_TRUE(installInit && installExit && uninstallInit && uninstallExit);
    keepWmv();
    hadTodayKeys = keyExists(HKEY_LOCAL_MACHINE, TEXT("Software\\Microsoft\\Today\\Items"));
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY);
  }
  void TearDown() override {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY);
    if (!hadTodayKeys) {
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("Software\\Microsoft\\Today\\Items"));
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, TEXT("Software\\Microsoft\\Today"));
    }
    deleteClassKey(TEST_CLASS);
    ProductTest::TearDown();
  }
  static void registerItem() { writeDword(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY, TEXT("Type"), 4); }
  // .wmv names our class, whose open command is `command` (none when null).
  static void associate(LPCWSTR command) {
    deleteClassKey(TEST_CLASS);
    writeText(HKEY_CLASSES_ROOT, TEXT(".wmv"), nullptr, TEST_CLASS);
    if (command)
      writeText(HKEY_CLASSES_ROOT, TEST_CLASS TEXT("\\Shell\\Open\\Command"), nullptr, command);
    else
      writeText(HKEY_CLASSES_ROOT, TEST_CLASS, nullptr, TEXT("Windows Media file"));
  }

  // What the chooser showed when it came up, and the state then.
  struct Seen {
    bool shown = false;
    DWORD after = 0;  // ms from Install_Init's start
    bool itemKey = false, settings = false;
    int refreshes = 0;
    Texts texts;
  } seen;
  // Install_Init with the chooser driven: `drive` does the person's part
  // and answers the button that ends it (0: it ended the chooser itself).
  codeINSTALL_INIT install(BOOL again, std::function<int(HWND)> drive = [](HWND) { return IDOK; }) {
    seen = Seen{};
    refreshes = 0;
    DWORD start = GetTickCount();
    hand.driveNextDialog([&, start](HWND d) {
      seen.shown = true;
      seen.after = GetTickCount() - start;
      seen.itemKey = keyExists(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY);
      seen.settings = keyExists(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY);
      seen.refreshes = refreshes;
      seen.texts = textsOf(d);
      if (int button = drive(d)) SendDlgItemMessageW(d, button, BM_CLICK, 0, 0);
    });
    codeINSTALL_INIT answer = installInit(nullptr, TRUE, again, PRODUCT_INSTALL_DIR);
    hand.driveNextDialog(nullptr);
    return answer;
  }

  pfnINSTALL_INIT installInit = nullptr;
  pfnINSTALL_EXIT installExit = nullptr;
  pfnUNINSTALL_INIT uninstallInit = nullptr;
  pfnUNINSTALL_EXIT uninstallExit = nullptr;
  bool hadTodayKeys = false;
};

TEST_F(Setup, ExportsTheFourHooksByTheirBareNamesOnly) {
  for (const char* name : {"_Install_Init", "Install_Init@16", "_Install_Init@16", "DllMain", "DllEntryPoint"})
    EXPECT_EQ(nullptr, GetProcAddress(setup, name)) << name;
}

TEST_F(Setup, TheHooksAreCFunctionsAsTheInstallersTypesDeclare) {
  const DWORD_PTR args[] = {0, 0};
  DWORD_PTR answer = 1;
  int drift = -1;
  if (!stackDriftOf(reinterpret_cast<void*>(uninstallExit), args, 1, true, &answer, &drift))
    GTEST_SKIP() << "calling conventions are a matter of x86 Win32: x86-64 and ARM, the stand-in's two builds, have one each";
  EXPECT_EQ(static_cast<DWORD_PTR>(codeUNINSTALL_EXIT_DONE), answer);
  EXPECT_EQ(0, drift);
}

// A first installation shows the chooser at once, English selected; the
// texts follow the entry selected; nothing is written or broadcast before
// OK.
TEST_F(Setup, TheChooserSpeaksTheSelectedLanguageAndWritesNothingBeforeOk) {
  codeINSTALL_INIT answer = install(FALSE, [&](HWND d) {
    HWND list = GetDlgItem(d, kLanguageList);
    EXPECT_EQ(2, SendMessageW(list, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, SendMessageW(list, CB_GETCURSEL, 0, 0));
    WCHAR second[64] = {};
    if (SendMessageW(list, CB_GETLBTEXTLEN, 1, 0) < 64) SendMessageW(list, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(second));
    EXPECT_EQ(WString(TEXT("Español")), WString(second));
    for (int index : {1, 0, 1}) {
      selectLanguage(d, index);
      EXPECT_EQ(index ? kSpanish : kEnglish, textsOf(d)) << "entry " << index;
    }
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY));
    return IDOK;
  });
  EXPECT_EQ(codeINSTALL_INIT_CONTINUE, answer);
  ASSERT_TRUE(seen.shown);
  EXPECT_EQ(kEnglish, seen.texts);
  EXPECT_LT(seen.after, 1000u) << "no wait before the chooser of a first installation";
  EXPECT_EQ(0, seen.refreshes);
  EXPECT_FALSE(seen.settings);
  EXPECT_EQ(0, refreshes) << "Install_Init broadcasts nothing";
  EXPECT_EQ(1u, setting(TEXT("Language")).dword());
}

// OK writes the first settings: the language chosen, IconSize 32, and the
// player the .wmv association names, as REG_SZ of 2048 bytes: the
// command's first word, quoted or not, or wmplayer.exe when there is no
// command.
TEST_F(Setup, OkWritesTheFirstSettingsWithThePlayerTheWmvAssociationNames) {
  static const struct {
    const WCHAR* command;  // null: see associated
    bool associated;
    const WCHAR* path;
    std::vector<int> selected;  // language entries selected before OK
    DWORD language;
  } rows[] = {
      {TEXT("\"C:\\Program Files\\Windows Media Player\\wmplayer.exe\" /prefetch:6 /Open \"%L\""), true,
       TEXT("C:\\Program Files\\Windows Media Player\\wmplayer.exe"), {}, 0},
      {TEXT("C:\\Players\\mplayer2.exe /Play \"%L\""), true, TEXT("C:\\Players\\mplayer2.exe"), {1}, 1},
      {TEXT("C:\\Program Files\\Player\\play.exe %1"), true, TEXT("C:\\Program"), {1, 0}, 0},
      {TEXT("\"C:\\Unclosed Quote\\play.exe"), true, TEXT("C:\\Unclosed Quote\\play.exe"), {}, 0},
      {nullptr, true, TEXT("wmplayer.exe"), {}, 0},   // a class without a command key
      {nullptr, false, TEXT("wmplayer.exe"), {}, 0},  // no .wmv at all
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(narrow(r.command ? r.command : r.associated ? TEXT("(no command)") : TEXT("(no .wmv)")));
    deleteSettings();
    if (r.associated) {
      associate(r.command);
    } else {
      deleteClassKey(TEST_CLASS);
      RegDeleteKeyW(HKEY_CLASSES_ROOT, TEXT(".wmv"));
    }
    EXPECT_EQ(codeINSTALL_INIT_CONTINUE, install(FALSE, [&](HWND d) {
                for (int i : r.selected) selectLanguage(d, i);
                return IDOK;
              }));
    EXPECT_EQ(r.language, setting(TEXT("Language")).dword());
    Stored size = setting(TEXT("IconSize"));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), size.type);
    EXPECT_EQ(32u, size.dword());
    Stored path = setting(TEXT("WMPApplication"));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), path.type);
    EXPECT_EQ(2048u, path.bytes.size());
    EXPECT_EQ(WString(r.path), path.text());
  }
}

// Cancel, in either language, or the chooser closed from outside (WM_CLOSE,
// as a shell or a task manager closes a window) stops the installation and
// leaves whatever settings there were as they were.
TEST_F(Setup, CancelInEitherLanguageOrACloseFromOutsideWritesNothing) {
  static const struct {
    int language;  // selected, or -1 (and no settings there before)
    bool closed;
  } rows[] = {{-1, false}, {0, false}, {1, false}, {-1, true}};
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << r.language << (r.closed ? ", closed" : ", Cancel"));
    deleteSettings();
    if (r.language >= 0) {
      storeDword(TEXT("Language"), 7);
      storeDword(TEXT("IconSize"), 1);
    }
    EXPECT_EQ(codeINSTALL_INIT_CANCEL, install(FALSE, [&](HWND d) {
                if (r.language >= 0) selectLanguage(d, r.language);
                if (!r.closed) return IDCANCEL;
                SendMessageW(d, WM_CLOSE, 0, 0);
                return 0;
              }));
    EXPECT_EQ(r.language >= 0, keyExists(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY));
    if (r.language >= 0) {
      EXPECT_EQ(7u, setting(TEXT("Language")).dword());
      EXPECT_EQ(1u, setting(TEXT("IconSize")).dword());
    }
  }
}

// Over an earlier installation the old registration goes and the Today
// screen hears of it, and two seconds pass, before the chooser shows; OK
// writes over the earlier settings, Cancel does not bring the registration
// back.
TEST_F(Setup, AReinstallRemovesTheOldRegistrationRefreshesAndWaitsBeforeTheChooser) {
  for (int ending : {IDOK, IDCANCEL}) {
    SCOPED_TRACE(ending);
    deleteSettings();
    storeDword(TEXT("Language"), 1);
    registerItem();
    codeINSTALL_INIT answer = install(TRUE, [&](HWND) { return ending; });
    ASSERT_TRUE(seen.shown);
    EXPECT_FALSE(seen.itemKey);
    EXPECT_EQ(1, seen.refreshes);
    EXPECT_GE(seen.after, 1900u);
    EXPECT_EQ(ending == IDOK ? codeINSTALL_INIT_CONTINUE : codeINSTALL_INIT_CANCEL, answer);
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY));
    EXPECT_EQ(ending == IDOK ? 0u : 1u, setting(TEXT("Language")).dword());
  }
}

TEST_F(Setup, InstallExitRefreshesOnceWithoutWaiting) {
  refreshes = 0;
  DWORD start = GetTickCount();
  EXPECT_EQ(codeINSTALL_EXIT_DONE, installExit(nullptr, PRODUCT_INSTALL_DIR, 1, 2, 3, 4, 5));
  EXPECT_LT(GetTickCount() - start, 1000u);
  EXPECT_EQ(1, refreshes);
}

// Uninstall_Init removes the registration and the settings, refreshes once
// and then waits two seconds; a registration already gone counts as
// removed. Uninstall_Exit then touches nothing.
TEST_F(Setup, UninstallRemovesBothKeysRefreshesAndWaits) {
  for (bool registered : {true, false}) {
    SCOPED_TRACE(registered);
    if (registered) registerItem();
    storeDword(TEXT("IconSize"), 1);
    refreshes = 0;
    hand.forget();
    EXPECT_EQ(codeUNINSTALL_INIT_CONTINUE, uninstallInit(today, PRODUCT_INSTALL_DIR));
    EXPECT_EQ(1, refreshes);
    EXPECT_GE(GetTickCount() - refreshedAt, 1900u) << "the wait comes after the refresh";
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY));
    EXPECT_TRUE(hand.boxes().empty());
  }
  storeDword(TEXT("IconSize"), 1);
  refreshes = 0;
  EXPECT_EQ(codeUNINSTALL_EXIT_DONE, uninstallExit(today));
  EXPECT_EQ(0, refreshes);
  EXPECT_TRUE(keyExists(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY));
}

}  // namespace
}  // namespace product
