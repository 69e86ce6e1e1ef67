#include "today.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "device.h"
#include "draw_helpers.h"
#include "registry_store.h"
#include "window_manager.h"

namespace crestune {

namespace {
TodayShell* g_shell = nullptr;  // the one Today screen of the device
constexpr const char16_t* kNavClass = u"HHTaskBar";
constexpr const char16_t* kItemsKey = u"Software\\Microsoft\\Today\\Items";
constexpr UINT_PTR kRefreshTimer = 1;

DWORD queryDword(HKEY key, const char16_t* name, DWORD fallback) {
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
      size != sizeof value)
    return fallback;
  return value;
}

std::u16string queryString(HKEY key, const char16_t* name) {
  char16_t buf[MAX_PATH] = {};
  DWORD size = sizeof buf - sizeof(char16_t);
  if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size) != ERROR_SUCCESS) return {};
  return buf;
}

const char16_t* kDays[] = {u"Sunday", u"Monday", u"Tuesday", u"Wednesday", u"Thursday", u"Friday", u"Saturday"};
const char16_t* kMonths[] = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                             u"July",    u"August",   u"September", u"October", u"November", u"December"};
}  // namespace

void registerTodayItem(wince::RegistryStore& registry, const std::string& name, const std::string& dll,
                       DWORD enabled, DWORD order, DWORD options) {
  const std::string key = "HKLM\\Software\\Microsoft\\Today\\Items\\" + name;
  registry.setValue(key, "DLL", REG_SZ, wince::RegistryStore::stringBytes(dll));
  registry.setValue(key, "Enabled", REG_DWORD, wince::RegistryStore::dwordBytes(enabled));
  registry.setValue(key, "Options", REG_DWORD, wince::RegistryStore::dwordBytes(options));
  registry.setValue(key, "Order", REG_DWORD, wince::RegistryStore::dwordBytes(order));
  registry.setValue(key, "Type", REG_DWORD, wince::RegistryStore::dwordBytes(tlitCustom));
}

TodayShell::TodayShell() {
  g_shell = this;
  wince::Device& d = wince::Device::current();
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = kWindowClass;
  RegisterClassW(&wc);
  WNDCLASSW nav{};
  nav.lpfnWndProc = navProc;
  nav.lpszClassName = kNavClass;
  RegisterClassW(&nav);
  navBar_ = CreateWindowExW(0, kNavClass, u"", WS_POPUP | WS_VISIBLE, 0, 0, d.screen().width, kNavBarHeight, nullptr,
                            nullptr, nullptr, nullptr);
  window_ = CreateWindowExW(0, kWindowClass, u"Desktop", WS_POPUP | WS_VISIBLE, 0, kNavBarHeight, d.screen().width,
                            d.screen().height - kNavBarHeight, nullptr, nullptr, nullptr, nullptr);
  SetTimer(window_, kRefreshTimer, kRefreshMs, nullptr);
  load();
  UpdateWindow(navBar_);
  UpdateWindow(window_);
}

TodayShell::~TodayShell() {
  unload();
  if (IsWindow(window_)) DestroyWindow(window_);
  if (IsWindow(navBar_)) DestroyWindow(navBar_);
  UnregisterClassW(kWindowClass, nullptr);
  UnregisterClassW(kNavClass, nullptr);
  g_shell = nullptr;
}

TodayShell::Item* TodayShell::find(const std::u16string& name) {
  for (auto& item : items_)
    if (lstrcmpiW(item->name.c_str(), name.c_str()) == 0) return item.get();
  return nullptr;
}

void TodayShell::load() {
  HKEY items = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kItemsKey, 0, 0, &items) != ERROR_SUCCESS) return;
  std::vector<std::unique_ptr<Item>> found;
  for (DWORD i = 0;; ++i) {
    char16_t name[MAX_ITEMNAME + 1] = {};
    DWORD length = MAX_ITEMNAME;
    if (RegEnumKeyExW(items, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY key = nullptr;
    if (RegOpenKeyExW(items, name, 0, 0, &key) != ERROR_SUCCESS) continue;
    auto item = std::make_unique<Item>();
    item->name = name;
    const std::u16string dll = queryString(key, u"DLL");
    TODAYLISTITEM& r = item->record;
    lstrcpynW(r.szName, name, MAX_ITEMNAME);
    r.tlit = static_cast<TODAYLISTITEMTYPE>(queryDword(key, u"Type", tlitCustom));
    r.dwOrder = queryDword(key, u"Order", 0);
    r.fEnabled = queryDword(key, u"Enabled", 1) ? TRUE : FALSE;
    r.fOptions = queryDword(key, u"Options", 0) ? TRUE : FALSE;
    lstrcpynW(r.szDLLPath, dll.c_str(), MAX_PATH);
    RegCloseKey(key);
    if (r.tlit == tlitCustom && !dll.empty()) found.push_back(std::move(item));
  }
  RegCloseKey(items);
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a->record.dwOrder < b->record.dwOrder; });
  for (auto& item : found) {
    item->library = LoadLibraryW(item->record.szDLLPath);
    if (!item->library) {
      // A library the device refused (a path out of its folder, a file there
      // that is no library of the build) is said once while the shell runs.
      const std::string& why = wince::Device::current().lastLoadRefusal();
      if (!why.empty() && refusalsSaid_.insert(wince::narrow(item->name) + "\n" + why).second)
        std::cerr << "today: the item \"" << wince::narrow(item->name) << "\" is not loaded: " << why << "\n";
      continue;
    }
    auto create = reinterpret_cast<PFNCUSTOMINITIALIZEITEM>(reinterpret_cast<void (*)()>(
        GetProcAddress(item->library, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(ORDINAL_INITIALIZEITEM)))));
    item->record.hinstDLL = reinterpret_cast<HINSTANCE>(item->library);
    item->record.hwndCustom = create ? create(&item->record, window_) : nullptr;
    if (!item->record.hwndCustom) {
      // An item that shows nothing is not kept.
      FreeLibrary(item->library);
      continue;
    }
    items_.push_back(std::move(item));
  }
  refresh();
}

// The windows over the Today screen that belong to it or to its items (an
// options page, the open-file dialog or a box it opened, the page's "ok"
// bar), topmost first, are asked to close: a page ends as cancelled, a
// dialog or a box of the system goes, and the modal loop that ran each one
// ends. Their owners lead to the Today screen (an item window's parent is
// the screen).
void TodayShell::closeOwnedWindows() {
  auto ownedHere = [this](HWND h) {
    for (HWND owner = GetParent(h); owner; owner = GetParent(owner))
      if (owner == window_) return true;
    return false;
  };
  std::vector<HWND> over;
  const auto& top = wince::Device::current().windows().topLevelWindows();
  for (auto it = top.rbegin(); it != top.rend(); ++it)
    if (ownedHere(*it)) over.push_back(*it);
  for (HWND h : over)
    if (IsWindow(h)) SendMessageW(h, WM_CLOSE, 0, 0);
}

void TodayShell::unload() {
  closeOwnedWindows();
  // An item window that goes takes the menu it tracks with it.
  std::vector<HMODULE> libraries;
  for (auto& item : items_) {
    if (IsWindow(item->record.hwndCustom)) DestroyWindow(item->record.hwndCustom);
    if (item->library) libraries.push_back(item->library);
  }
  items_.clear();
  InvalidateRect(window_, nullptr, TRUE);
  // Asked to stop from inside an item's menu or page, the item's code is
  // still on the way out of those calls: its library is freed once they
  // have all returned, as the device's shell frees it after its own loop.
  wince::Device::current().windows().afterCalls([libraries] {
    for (HMODULE library : libraries) FreeLibrary(library);
  });
}

void TodayShell::reload() {
  unload();
  load();
}

void TodayShell::refresh() {
  bool changed = false;
  for (auto& item : items_) {
    if (!IsWindow(item->record.hwndCustom)) continue;
    item->lastRefresh = static_cast<BOOL>(SendMessageW(item->record.hwndCustom, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0,
                                                       reinterpret_cast<LPARAM>(&item->record)));
    changed = changed || item->lastRefresh;
  }
  if (changed) layout();
}

void TodayShell::layout() {
  int y = kDateLineHeight;
  RECT client;
  GetClientRect(window_, &client);
  for (auto& item : items_) {
    if (!IsWindow(item->record.hwndCustom)) continue;
    int height = static_cast<int>(item->record.cyp);
    MoveWindow(item->record.hwndCustom, 0, y, client.right, height, TRUE);
    InvalidateRect(item->record.hwndCustom, nullptr, TRUE);
    y += height;
  }
  InvalidateRect(window_, nullptr, TRUE);
}

INT_PTR TodayShell::openOptions(const std::u16string& name) {
  Item* item = find(name);
  if (!item || !item->library || !item->record.fOptions) return -1;
  auto options = reinterpret_cast<DLGPROC>(reinterpret_cast<void (*)()>(
      GetProcAddress(item->library, reinterpret_cast<LPCSTR>(MAKEINTRESOURCE(ORDINAL_OPTIONSDIALOGPROC)))));
  if (!options) return -1;
  return DialogBoxParamW(reinterpret_cast<HINSTANCE>(item->library), MAKEINTRESOURCE(500), window_, options, 0);
}

// The watermark: a soft sky gradient down the whole Today screen with a
// pale sweep across it, computed in screen coordinates so that items and the
// shell join seamlessly.
void TodayShell::paintWatermark(HDC hdc, const RECT& rc, HWND target) {
  POINT origin{0, 0};
  ClientToScreen(target, &origin);
  // The sweep: a lighter band that curves down across the screen.
  const int bandCentre = 150 + (origin.x + rc.left) / 4;
  auto colourAt = [&](int y) {
    int sy = origin.y + y;
    int t = std::clamp((sy - kNavBarHeight) * 255 / 294, 0, 255);
    COLORREF base = RGB(255 - t / 6, 255 - t / 10, 255);
    if (std::abs(sy - bandCentre) < 18) base = RGB(std::min(255, GetRValue(base) + 10), 250, 255);
    return base;
  };
  // The colour changes every few rows: one fill for each band of rows alike.
  for (int y = rc.top; y < rc.bottom;) {
    const COLORREF base = colourAt(y);
    int end = y + 1;
    while (end < rc.bottom && colourAt(end) == base) ++end;
    draw::fill(hdc, RECT{rc.left, y, rc.right, end}, base);
    y = end;
  }
}

LRESULT CALLBACK TodayShell::proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (g_shell) return g_shell->handle(hwnd, msg, wp, lp);
  return DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT TodayShell::handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      if (wp == kRefreshTimer) refresh();
      return 0;
    case TODAYM_GETCOLOR:
      return wp == TODAYCOLOR_TEXT ? kTextColor : RGB(0, 0, 128);
    case TODAYM_DRAWWATERMARK: {
      auto* info = reinterpret_cast<TODAYDRAWWATERMARKINFO*>(lp);
      if (info && info->hdc) paintWatermark(info->hdc, info->rc, info->hwnd);
      return TRUE;
    }
    case WM_WININICHANGE:
      if (wp == 0xF2) reload();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC hdc = BeginPaint(hwnd, &ps);
      RECT client;
      GetClientRect(hwnd, &client);
      // Only the rows to be repainted: the DC draws nothing outside them.
      RECT rows{client.left, std::max(client.top, ps.rcPaint.top), client.right,
                std::min(client.bottom, ps.rcPaint.bottom)};
      paintWatermark(hdc, rows, hwnd);
      if (ps.rcPaint.top >= kDateLineHeight) {
        EndPaint(hwnd, &ps);
        return 0;
      }
      // The date line, the first row of the Today screen.
      SYSTEMTIME now;
      GetLocalTime(&now);
      char16_t date[64];
      wsprintfW(date, u"%s, %s %d, %d", kDays[now.wDayOfWeek % 7], kMonths[(now.wMonth + 11) % 12], now.wDay,
                now.wYear);
      SetBkMode(hdc, TRANSPARENT);
      SetTextColor(hdc, kTextColor);
      RECT line{30, 0, client.right, kDateLineHeight};
      DrawTextW(hdc, date, -1, &line, DT_SINGLELINE | DT_VCENTER);
      draw::line(hdc, 0, kDateLineHeight - 1, client.right, kDateLineHeight - 1, RGB(170, 190, 220));
      EndPaint(hwnd, &ps);
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// The navigation bar: "Start" and the time, white on the Pocket PC's blue.
LRESULT CALLBACK TodayShell::navProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    for (int y = std::max<LONG>(0, ps.rcPaint.top); y < std::min(client.bottom, ps.rcPaint.bottom); ++y) {
      RECT row{0, y, client.right, y + 1};
      draw::fill(hdc, row, RGB(0, 40 + y * 2, 140 + y * 3));
    }
    // The Start flag: four coloured panes.
    const COLORREF panes[4] = {RGB(230, 60, 40), RGB(60, 180, 60), RGB(40, 120, 230), RGB(250, 200, 40)};
    for (int i = 0; i < 4; ++i) {
      RECT pane{5 + (i % 2) * 8, 5 + (i / 2) * 8, 12 + (i % 2) * 8, 12 + (i / 2) * 8};
      draw::fill(hdc, pane, panes[i]);
    }
    SetBkMode(hdc, TRANSPARENT);
    SetTextColor(hdc, RGB(255, 255, 255));
    {
      draw::Font font(hdc, 12, true);
      RECT start{25, 0, 120, client.bottom};
      DrawTextW(hdc, u"Start", -1, &start, DT_SINGLELINE | DT_VCENTER);
      SYSTEMTIME now;
      GetLocalTime(&now);
      char16_t time[16];
      wsprintfW(time, u"%d:%02d", now.wHour, now.wMinute);
      RECT clock{120, 0, client.right - 6, client.bottom};
      DrawTextW(hdc, time, -1, &clock, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    }
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace crestune
