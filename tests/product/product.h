// The product suite's harness: the two libraries loaded as the Today shell
// and the CAB installer load them and driven through their exports and
// messages, a Today window and a player window of the test's own, and the
// settings read back from the registry, all through the platform API, so
// that one source runs on every platform the build has (the stand-in, Win32
// under Wine). Only the hand in modal loops differs (hand.h).
#pragma once
#include <todaycmn.h>

#include <string>
#include <vector>

#include "hand.h"

namespace product {

// The registry keys are spelt out here and not taken from the libraries'
// shared headers on purpose: a test that used the product's constant could
// not catch a wrong one.
#define PRODUCT_SETTINGS_KEY TEXT("SOFTWARE\\Halvorn\\WMP Crestune")
#define PRODUCT_COMPANY_KEY TEXT("SOFTWARE\\Halvorn")
#define PRODUCT_PLAYER_TITLE TEXT("Windows Media")
#define PRODUCT_ITEM_KEY TEXT("Software\\Microsoft\\Today\\Items\\WMP Crestune")
#define PRODUCT_INSTALL_DIR TEXT("\\Program Files\\Crestune")

// A registry value as stored: its type and bytes.
struct Stored {
  bool found = false;
  DWORD type = 0;
  std::vector<BYTE> bytes;
  WString text() const;  // up to the first NUL
  DWORD dword() const;   // 0 unless a 4-byte REG_DWORD
};
Stored readValue(HKEY root, LPCWSTR key, LPCWSTR name);
bool keyExists(HKEY root, LPCWSTR key);
bool writeValue(HKEY root, LPCWSTR key, LPCWSTR name, DWORD type, const void* data, DWORD size);
bool writeText(HKEY root, LPCWSTR key, LPCWSTR name, LPCWSTR text);
bool writeDword(HKEY root, LPCWSTR key, LPCWSTR name, DWORD number);
// A file class's key under HKEY_CLASSES_ROOT with its open command, leaf
// first (desktop RegDeleteKeyW leaves a key that has subkeys).
void deleteClassKey(const WString& cls);

// A message a window of the test received.
struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

// The libraries the platform loads: the build's own, as CTest names them,
// or another build of them for the same cases (CRESTUNE_PRODUCT_LIB_DIR,
// a device build's, say); on Win32 those beside the program.
ApiPlatform* makePlatform();

class ProductTest : public ::testing::Test {
 protected:
  ProductTest();
  ~ProductTest() override;
  void SetUp() override;
  void TearDown() override;

  std::unique_ptr<ApiPlatform> platformOwner{makePlatform()};
  ApiPlatform& platform = *platformOwner;
  Hand hand{platform};
  HMODULE item = nullptr;
  PFNCUSTOMINITIALIZEITEM createItem = nullptr;
  DLGPROC optionsProc = nullptr;
  HWND today = nullptr;
  HWND player = nullptr;
  HWND itemWindow = nullptr;
  TODAYLISTITEM record{};
  std::vector<Received> playerGot;  // what the player window received
  int watermarks = 0;                // the Today window's watermark requests
  int refreshes = 0;                 // the refresh broadcasts (WM_WININICHANGE 0xF2) it heard
  DWORD refreshedAt = 0;             // GetTickCount() at the last of them
  std::string heldBefore;            // hand.objectsHeld() before the libraries loaded

  void pump() { ApiPlatform::pump(); }
  // The item window made again from a fresh, enabled record.
  HWND makeItem();
  LRESULT refresh();
  void paint();
  void startPlayer();
  // The player up, the item made and refreshed: its buttons show.
  void showButtons() {
    startPlayer();
    makeItem();
    refresh();
  }
  void stopPlayer();
  // The messages the player received since the last call, their codes alone.
  std::vector<UINT> received();
  // Pen down and up on client points of the item window.
  void tap(int downX, int downY, int upX, int upY);
  void tap(int x, int y) { tap(x, y, x, y); }
  // A tap-and-hold on empty space beside the buttons, halfway down a large
  // item; the hand answers the menu it opens.
  void holdBesideTheButtons();
  // A tap on the title, and the boxes it brought up (the hand answers them);
  // `launches`, when given, counts the ShellExecuteExW calls it made.
  std::vector<ShownBox> tapTheTitle(int* launches = nullptr);
  void deleteSettings();
  Stored setting(LPCWSTR name) { return readValue(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY, name); }
  void storeDword(LPCWSTR name, DWORD v) { writeDword(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY, name, v); }
  void storeText(LPCWSTR name, LPCWSTR v) { writeText(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY, name, v); }
  // The options page run as the Today settings run it, `driver` doing the
  // person's part inside its loop; answers the dialog's result.
  INT_PTR runPage(std::function<void(HWND)> driver);
  // setup.dll loaded as the CAB installer loads it (freed at the end), and
  // its hooks by name.
  void loadSetup();
  template <class F>
  F hook(const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(setup, name)));
  }
  HMODULE setup = nullptr;
  // The .wmv association as it is now, put back at the end of the test.
  void keepWmv();
  Stored oldWmv;
  bool keptWmv = false, hadWmv = false;

  static ProductTest*& current();
  static LRESULT CALLBACK todayProc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK playerProc(HWND, UINT, WPARAM, LPARAM);
};

std::string narrow(const WString& s);
// The text of control `id` of a dialog; with id 0, the dialog's caption.
WString textOf(HWND dialog, int id);

}  // namespace product
