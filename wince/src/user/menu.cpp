// Popup menus: built with AppendMenuW, tracked modally on the screen at the
// position asked for, answered by a tap or by a scripted choice by text.
#include <windows.h>

#include <algorithm>

#include "device/trace.h"
#include "user/wm_impl.h"

namespace wince {

namespace {

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 7;
constexpr int kPadding = 10;

struct Tracking {
  Menu* menu = nullptr;
  int hot = -1;
  bool penDownInside = false;
};

std::map<HMENU, Menu>& menus() { return wm().menus; }

LRESULT CALLBACK menuProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* t = systemWindowState<Tracking>(hwnd);
  if (msg == WM_PAINT && t) {
    PAINTSTRUCT ps;
    RECT c;
    HDC dc = beginSystemPaint(hwnd, ps, c);
    for (size_t i = 0; i < t->menu->items.size(); ++i) {
      const MenuItem& item = t->menu->items[i];
      if (item.flags & MF_SEPARATOR) {
        POINT line[2] = {{item.rect.left + 2, (item.rect.top + item.rect.bottom) / 2},
                         {item.rect.right - 2, (item.rect.top + item.rect.bottom) / 2}};
        HGDIOBJ old = SelectObject(dc, GetStockObject(BLACK_PEN));
        Polyline(dc, line, 2);
        SelectObject(dc, old);
        continue;
      }
      bool hot = static_cast<int>(i) == t->hot;
      if (hot) FillRect(dc, &item.rect, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_HIGHLIGHT + 1)));
      SetTextColor(dc, hot ? GetSysColor(COLOR_HIGHLIGHTTEXT) : GetSysColor(COLOR_WINDOWTEXT));
      RECT r{item.rect.left + kPadding, item.rect.top, item.rect.right - 4, item.rect.bottom};
      DrawTextW(dc, item.text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    EndPaint(hwnd, &ps);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

int itemAt(const Menu& menu, POINT client) {
  for (size_t i = 0; i < menu.items.size(); ++i)
    if (!(menu.items[i].flags & MF_SEPARATOR) && rectContains(menu.items[i].rect, client)) return static_cast<int>(i);
  return -1;
}

}  // namespace

const History<WindowManager::ShownMenu>& WindowManager::menusShown() const { return impl_->shownMenus; }
const WindowManager::ShownMenu* WindowManager::openMenu() const {
  return impl_->menuOpen ? &impl_->shownMenus.back() : nullptr;
}

}  // namespace wince

using namespace wince;

WINUSERAPI HMENU WINAPI CreatePopupMenu(void) {
  WINCE_TRACE("CreatePopupMenu");
  wince_trace_.args();
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, HMENU{});
  auto& m = wm();
  HMENU h = reinterpret_cast<HMENU>(m.nextHandle);
  m.nextHandle += 4;
  menus().emplace(h, Menu{});
  Device::current().accounting().acquire(ObjectKind::Menu);
  return wince_trace_.result(h);
}

WINUSERAPI BOOL WINAPI AppendMenuW(HMENU hMenu, UINT flags, UINT_PTR id, LPCWSTR text) {
  WINCE_TRACE("AppendMenuW");
  wince_trace_.args(hMenu, flags, id, (flags & MF_SEPARATOR) ? nullptr : text);
  auto it = menus().find(hMenu);
  if (it == menus().end()) {
    Device::current().lastError() = ERROR_INVALID_MENU_HANDLE;
    return wince_trace_.result(FALSE);
  }
  it->second.items.push_back(MenuItem{flags, id, (flags & MF_SEPARATOR) ? u"" : textOf(text)});
  return wince_trace_.result(TRUE);
}

WINUSERAPI int WINAPI GetMenuItemCount(HMENU hMenu) {
  auto it = menus().find(hMenu);
  return it == menus().end() ? -1 : static_cast<int>(it->second.items.size());
}

WINUSERAPI BOOL WINAPI DestroyMenu(HMENU hMenu) {
  WINCE_TRACE("DestroyMenu");
  wince_trace_.args(hMenu);
  if (!menus().erase(hMenu)) {
    Device::current().lastError() = ERROR_INVALID_MENU_HANDLE;
    return wince_trace_.result(FALSE);
  }
  Device::current().accounting().release(ObjectKind::Menu);
  return wince_trace_.result(TRUE);
}

WINUSERAPI BOOL WINAPI TrackPopupMenuEx(HMENU hMenu, UINT flags, int x, int y, HWND hwnd, LPTPMPARAMS) {
  WINCE_TRACE("TrackPopupMenuEx");
  wince_trace_.args(hMenu, flags, x, y, hwnd);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, FALSE);
  auto& m = wm();
  Device& d = Device::current();
  auto it = menus().find(hMenu);
  if (it == menus().end() || !windowOf(hwnd)) {
    d.lastError() = ERROR_INVALID_MENU_HANDLE;
    return wince_trace_.result(FALSE);
  }
  Menu& menu = it->second;
  static const char16_t kClass[] = u"#Menu";
  registerSystemClass(kClass, menuProc);

  // Size the menu from its entries' text.
  HDC measure = GetDC(nullptr);
  int width = 60, height = 2;
  for (MenuItem& item : menu.items) {
    int h = (item.flags & MF_SEPARATOR) ? kSeparatorHeight : kItemHeight;
    item.rect = RECT{1, height - 1, 0, height - 1 + h};
    height += h;
    if (!(item.flags & MF_SEPARATOR)) {
      SIZE sz{};
      GetTextExtentPoint32W(measure, item.text.c_str(), static_cast<int>(item.text.size()), &sz);
      width = std::max<int>(width, sz.cx + 2 * kPadding + 2);
    }
  }
  ReleaseDC(nullptr, measure);
  for (MenuItem& item : menu.items) item.rect.right = width - 1;

  // Place it as asked, then keep it on the screen.
  int left = (flags & TPM_RIGHTALIGN) ? x - width : (flags & TPM_CENTERALIGN) ? x - width / 2 : x;
  int top = (flags & TPM_BOTTOMALIGN) ? y - height : (flags & TPM_VCENTERALIGN) ? y - height / 2 : y;
  left = std::clamp(left, 0, std::max(0, d.screen().width - width));
  top = std::clamp(top, 0, std::max(0, d.screen().height - height));

  Tracking tracking{&menu, -1, false};
  HWND win = CreateWindowExW(WS_EX_TOPMOST, kClass, u"", WS_POPUP | WS_BORDER, left, top, width, height, nullptr,
                             nullptr, nullptr, nullptr);
  if (!win) return wince_trace_.result(FALSE);
  WindowManager::ShownMenu shown;
  for (const MenuItem& item : menu.items) shown.entries.push_back((item.flags & MF_SEPARATOR) ? u"-" : item.text);
  shown.requested = POINT{x, y};
  shown.flags = flags;
  shown.rect = RECT{left, top, left + width, top + height};
  const size_t index = m.shownMenus.size();
  m.shownMenus.push(shown);
  m.menuOpen = true;

  UINT_PTR chosen = 0;
  bool done = false;
  RECT screen{left, top, left + width, top + height};
  bool ended = runSystemPopup(
      // The menu goes when the window it belongs to goes.
      win, &tracking, [&] { return done || !m.get(hwnd); },
      [&](const InputEvent& e) {
        switch (e.kind) {
          case InputEvent::Kind::ChooseMenu:
            for (const MenuItem& item : menu.items)
              if (!(item.flags & MF_SEPARATOR) && item.text == e.text) chosen = item.id, done = true;
            if (!done) {
              d.reportProblem("the menu has no entry \"" + narrow(e.text) + "\"");
              done = true;
            }
            return true;
          case InputEvent::Kind::DismissMenu:
            done = true;
            return true;
          case InputEvent::Kind::PenDown:
          case InputEvent::Kind::PenMove:
          case InputEvent::Kind::PenUp: {
            POINT client{e.pt.x - left - 1, e.pt.y - top - 1};
            bool inside = rectContains(screen, e.pt);
            if (e.kind == InputEvent::Kind::PenDown) {
              if (!inside) {
                done = true;  // a tap outside dismisses the menu
                return true;
              }
              tracking.penDownInside = true;
            }
            if (!tracking.penDownInside) return true;  // the pen lifting after the hold
            int hot = inside ? itemAt(menu, client) : -1;
            if (hot != tracking.hot) {
              tracking.hot = hot;
              InvalidateRect(win, nullptr, FALSE);
            }
            if (e.kind == InputEvent::Kind::PenUp) {
              if (hot >= 0) chosen = menu.items[static_cast<size_t>(hot)].id;
              done = true;
            }
            return true;
          }
          default: return false;
        }
      });
  if (!ended && !done && m.get(hwnd)) d.reportProblem("a menu was left open");
  if (m.shownMenus.kept(index)) m.shownMenus[index].chosen = chosen;
  m.menuOpen = false;
  if (flags & TPM_RETURNCMD) return wince_trace_.result(static_cast<BOOL>(chosen));
  if (chosen && !(flags & TPM_NONOTIFY)) PostMessageW(hwnd, WM_COMMAND, chosen, 0);
  return wince_trace_.result(TRUE);
}
