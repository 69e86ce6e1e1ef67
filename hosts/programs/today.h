// The Today shell: the Pocket PC's home screen. It loads the custom items
// registered under HKLM\Software\Microsoft\Today\Items, asks each for its
// height every two seconds, paints its watermark behind them, and reloads
// them when told the registration changed.
#pragma once
#include <todaycmn.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace wince {
class RegistryStore;
}

namespace crestune {

// Registers a custom Today item under HKLM\Software\Microsoft\Today\Items,
// as an item's installer does: its library, whether it shows, its place
// among the items, whether it has an options page.
void registerTodayItem(wince::RegistryStore& registry, const std::string& name, const std::string& dll,
                       DWORD enabled = 1, DWORD order = 10, DWORD options = 1);

class TodayShell {
 public:
  // The class of the Today screen's window, as other programs find it.
  static constexpr const char16_t* kWindowClass = u"DesktopExplorerWindow";
  static constexpr int kNavBarHeight = 26;
  static constexpr int kDateLineHeight = 20;
  static constexpr UINT kRefreshMs = 2000;
  static constexpr COLORREF kTextColor = RGB(0, 0, 96);

  TodayShell();
  ~TodayShell();
  TodayShell(const TodayShell&) = delete;
  TodayShell& operator=(const TodayShell&) = delete;

  struct Item {
    std::u16string name;
    HMODULE library = nullptr;
    TODAYLISTITEM record{};  // szDLLPath: the library named by its DLL value
    BOOL lastRefresh = FALSE;
  };

  HWND window() const { return window_; }
  const std::vector<std::unique_ptr<Item>>& items() const { return items_; }
  Item* find(const std::u16string& name);
  // Sends every item the refresh query now and lays them out again.
  void refresh();
  // Destroys the item windows, unloads their libraries, loads them again.
  void reload();
  // Runs the options dialog of an item the way the Pocket PC does: the
  // dialog from template 500 of the item's library, with export 241 as its
  // procedure. Answers the dialog's result; -1 when the item has none.
  // The shell may be stopped while the page is open (the page then ends
  // as cancelled): nothing of the shell is used once the dialog returns.
  INT_PTR openOptions(const std::u16string& name);

 private:
  static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
  static LRESULT CALLBACK navProc(HWND, UINT, WPARAM, LPARAM);
  LRESULT handle(HWND, UINT, WPARAM, LPARAM);
  void load();
  // Closes what the items show (their pages, the dialogs and boxes over
  // them, their menus), destroys their windows and frees their libraries.
  void unload();
  void closeOwnedWindows();
  void layout();
  void paintWatermark(HDC hdc, const RECT& rc, HWND target);
  HWND window_ = nullptr;
  HWND navBar_ = nullptr;
  std::vector<std::unique_ptr<Item>> items_;
  std::set<std::string> refusalsSaid_;  // an item's name and why its library was refused
};

}  // namespace crestune
