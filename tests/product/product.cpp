// The product suite's harness (product.h).
#include "product.h"

namespace product {

WString Stored::text() const {
  WString s;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    WCHAR c = static_cast<WCHAR>(bytes[i] | (bytes[i + 1] << 8));
    if (!c) break;
    s += c;
  }
  return s;
}
DWORD Stored::dword() const {
  if (type != REG_DWORD || bytes.size() != 4) return 0;
  return bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<DWORD>(bytes[3]) << 24);
}

Stored readValue(HKEY root, LPCWSTR key, LPCWSTR name) {
  Stored v;
  HKEY opened;
  if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return v;
  DWORD size = 0;
  if (RegQueryValueExW(opened, name, nullptr, &v.type, nullptr, &size) == ERROR_SUCCESS) {
    v.bytes.resize(size);
    v.found = RegQueryValueExW(opened, name, nullptr, &v.type, v.bytes.data(), &size) == ERROR_SUCCESS;
    v.bytes.resize(size);
  }
  RegCloseKey(opened);
  return v;
}

bool keyExists(HKEY root, LPCWSTR key) {
  HKEY opened;
  if (RegOpenKeyExW(root, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

bool writeValue(HKEY root, LPCWSTR key, LPCWSTR name, DWORD type, const void* data, DWORD size) {
  HKEY opened;
  DWORD disposition;
  if (RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, &disposition) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExW(opened, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(opened);
  return result == ERROR_SUCCESS;
}
bool writeText(HKEY root, LPCWSTR key, LPCWSTR name, LPCWSTR text) {
  return writeValue(root, key, name, REG_SZ, text, static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(WCHAR)));
}
bool writeDword(HKEY root, LPCWSTR key, LPCWSTR name, DWORD number) {
  return writeValue(root, key, name, REG_DWORD, &number, sizeof number);
}

void deleteClassKey(const WString& cls) {
  for (const WString& k : {cls + TEXT("\\Shell\\Open\\Command"), cls + TEXT("\\Shell\\Open"), cls + TEXT("\\Shell"), cls})
    RegDeleteKeyW(HKEY_CLASSES_ROOT, k.c_str());
}

std::string narrow(const WString& s) {
  std::string n;
  for (WCHAR c : s) n += c < 0x80 ? static_cast<char>(c) : '?';
  return n;
}

WString textOf(HWND dialog, int id) {
  WCHAR text[2048] = {};
  if (id)
    GetDlgItemTextW(dialog, id, text, 2048);
  else
    GetWindowTextW(dialog, text, 2048);
  return text;
}

ApiPlatform* makePlatform() {
#ifndef _WIN32
  wince::DeviceOptions options;
  if (const char* folder = std::getenv("CRESTUNE_PRODUCT_LIB_DIR")) options.romFolder = folder;
  return new ApiPlatform(std::move(options));
#else
  return new ApiPlatform;
#endif
}

ProductTest*& ProductTest::current() {
  static ProductTest* t = nullptr;
  return t;
}
ProductTest::ProductTest() { current() = this; }
ProductTest::~ProductTest() { current() = nullptr; }

LRESULT CALLBACK ProductTest::todayProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  switch (m) {
    case TODAYM_GETCOLOR:
      return RGB(0, 0, 0);
    case TODAYM_DRAWWATERMARK: {
      auto* info = reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lp);
      if (current()) current()->watermarks++;
      FillRect(info->hdc, &info->rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
      return TRUE;
    }
    case WM_WININICHANGE:
      if (wp == 0xF2 && current()) {
        current()->refreshes++;
        current()->refreshedAt = GetTickCount();
      }
      break;
  }
  return DefWindowProcW(h, m, wp, lp);
}

LRESULT CALLBACK ProductTest::playerProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if ((m >= WM_USER || m == WM_COMMAND || m == WM_CLOSE) && current()) current()->playerGot.push_back({m, wp, lp});
  return DefWindowProcW(h, m, wp, lp);
}

static HWND makeWindow(LPCWSTR cls, WNDPROC proc, LPCWSTR title, DWORD style, int x, int width, int height) {
  const WNDCLASSW wc = windowClass(cls, proc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  RegisterClassW(&wc);  // fails harmlessly once the class exists
  return CreateWindowExW(0, cls, title, style, x, 0, width, height, nullptr, nullptr, programInstance(), nullptr);
}

void ProductTest::SetUp() {
  deleteSettings();
  heldBefore = hand.objectsHeld();
  item = LoadLibraryW(TEXT("crestitem.dll"));
  ASSERT_NE(nullptr, item) << "crestitem.dll does not load: error " << GetLastError();
  createItem = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(
      reinterpret_cast<void (*)()>(GetProcAddress(item, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(240)))));
  optionsProc = reinterpret_cast<DLGPROC>(
      reinterpret_cast<void (*)()>(GetProcAddress(item, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(241)))));
  ASSERT_TRUE(createItem && optionsProc);
  today = makeWindow(TEXT("ProductToday"), todayProc, TEXT("Today"), WS_VISIBLE, 0, 240, 320);
}

void ProductTest::TearDown() {
  if (setup) FreeLibrary(setup);
  setup = nullptr;
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, PRODUCT_ITEM_KEY);
  if (keptWmv && oldWmv.found)
    writeValue(HKEY_CLASSES_ROOT, TEXT(".wmv"), nullptr, oldWmv.type, oldWmv.bytes.data(),
               static_cast<DWORD>(oldWmv.bytes.size()));
  else if (keptWmv && !hadWmv)
    RegDeleteKeyW(HKEY_CLASSES_ROOT, TEXT(".wmv"));
  stopPlayer();
  if (IsWindow(itemWindow)) DestroyWindow(itemWindow);
  if (IsWindow(today)) DestroyWindow(today);
  if (item) {
    EXPECT_TRUE(FreeLibrary(item));
  }
  item = nullptr;
  pump();
  deleteSettings();
  for (LPCWSTR cls : {TEXT("ProductToday"), TEXT("ProductPlayer")}) UnregisterClassW(cls, programInstance());
  EXPECT_EQ(heldBefore, hand.objectsHeld()) << "every object taken is given back once the libraries are freed";
  EXPECT_EQ(platform.problems(), std::vector<std::string>{});
}

HWND ProductTest::makeItem() {
  if (IsWindow(itemWindow)) DestroyWindow(itemWindow);
  // The shell hands the new window the record the last one filled in.
  DWORD height = record.cyp;
  record = TODAYLISTITEM{};
  record.cyp = height;
  record.fEnabled = TRUE;
  itemWindow = createItem(&record, today);
  record.hwndCustom = itemWindow;
  return itemWindow;
}

LRESULT ProductTest::refresh() {
  return SendMessageW(itemWindow, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0, reinterpret_cast<LPARAM>(&record));
}

void ProductTest::paint() {
  InvalidateRect(itemWindow, nullptr, TRUE);
  UpdateWindow(itemWindow);
}

void ProductTest::startPlayer() {
  if (!IsWindow(player))
    player = makeWindow(TEXT("ProductPlayer"), playerProc, PRODUCT_PLAYER_TITLE, 0, 300, 200, 100);
  playerGot.clear();
}
void ProductTest::stopPlayer() {
  if (IsWindow(player)) DestroyWindow(player);
  player = nullptr;
}

std::vector<UINT> ProductTest::received() {
  std::vector<UINT> codes;
  for (const Received& r : playerGot) codes.push_back(r.message);
  playerGot.clear();
  return codes;
}

void ProductTest::tap(int downX, int downY, int upX, int upY) {
  SendMessageW(itemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(downX, downY));
  SendMessageW(itemWindow, WM_LBUTTONUP, 0, MAKELPARAM(upX, upY));
  pump();
}

void ProductTest::holdBesideTheButtons() {
  hand.penStaysDown(itemWindow, POINT{200, 18});
  SendMessageW(itemWindow, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 18));
  pump();
}

std::vector<ShownBox> ProductTest::tapTheTitle(int* launches) {
  hand.forget();
  if (launches) hand.startRecording();
  tap(100, 10);
  platform.wait(300);
  if (launches) {
    *launches = 0;
    for (const orders::Call& c : hand.stopRecording()) *launches += c.name == "ShellExecuteExW";
  }
  return hand.boxes();
}

void ProductTest::deleteSettings() {
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, PRODUCT_SETTINGS_KEY);
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, PRODUCT_COMPANY_KEY);  // fails while other keys live there
}

INT_PTR ProductTest::runPage(std::function<void(HWND)> driver) {
  hand.driveNextDialog(std::move(driver));
  INT_PTR result = DialogBoxParamW(item, MAKEINTRESOURCEW(500), today, optionsProc, 0);
  hand.driveNextDialog(nullptr);
  return result;
}

void ProductTest::loadSetup() {
  setup = LoadLibraryW(TEXT("setup.dll"));
  ASSERT_NE(nullptr, setup) << "setup.dll does not load: error " << GetLastError();
}

void ProductTest::keepWmv() {
  oldWmv = readValue(HKEY_CLASSES_ROOT, TEXT(".wmv"), nullptr);
  hadWmv = keyExists(HKEY_CLASSES_ROOT, TEXT(".wmv"));
  keptWmv = true;
}

}  // namespace product
