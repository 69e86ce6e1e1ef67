// COMBOBOX: the drop-down list kind. The closed box shows the selection and
// a drop arrow; a tap drops the list down below it as a popup window that
// runs modally until an entry is tapped (or chosen by text) or the pen taps
// elsewhere.
#include <windows.h>

#include <algorithm>

#include "user/controls/controls.h"
#include "user/dialog.h"

namespace wince {

const char16_t kComboListClass[] = u"#ComboList";

namespace {

struct Combo {
  std::vector<std::u16string> items;
  int selection = CB_ERR;
  int itemHeight = 16;
  bool dropped = false;
};

struct DroppedList {
  const Combo* combo = nullptr;
  HFONT font = nullptr;
  int hot = -1;
};

int measureItemHeight(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm.tmHeight + 2;
}

// The closed box is as tall as one entry with its frame; the height the
// template gave is the room for the dropped list.
void fitClosedHeight(HWND h, Combo& c) {
  c.itemHeight = measureItemHeight(controlFont(h));
  if (Window* w = wm().get(h)) w->rect.bottom = w->rect.top + c.itemHeight + 4;
}

void paintCombo(HWND h, Combo& c) {
  PAINTSTRUCT ps;
  RECT r;
  HDC dc = beginSystemPaint(h, ps, r);
  frameRect(dc, r);
  int arrow = r.bottom;  // a square at the right end
  RECT box{r.right - arrow, 0, r.right, r.bottom};
  frameRect(dc, box);
  POINT tri[3] = {{box.left + 4, arrow / 2 - 2}, {box.right - 5, arrow / 2 - 2}, {(box.left + box.right) / 2, arrow / 2 + 2}};
  for (int y = tri[0].y; y <= tri[2].y; ++y) {
    int half = (tri[2].y - y);
    RECT line{tri[2].x - half, y, tri[2].x + half + 1, y + 1};
    FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  if (c.selection >= 0) {
    HGDIOBJ oldFont = SelectObject(dc, controlFont(h));
    SetTextColor(dc, IsWindowEnabled(h) ? RGB(0, 0, 0) : RGB(128, 128, 128));
    RECT text{3, 0, box.left - 1, r.bottom};
    const std::u16string& s = c.items[static_cast<size_t>(c.selection)];
    DrawTextW(dc, s.c_str(), static_cast<int>(s.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, oldFont);
  }
  EndPaint(h, &ps);
}

int addString(Combo& c, DWORD style, const std::u16string& s) {
  size_t at = c.items.size();
  if (style & CBS_SORT)
    at = static_cast<size_t>(std::upper_bound(c.items.begin(), c.items.end(), s,
                                              [](const std::u16string& a, const std::u16string& b) {
                                                return lstrcmpiW(a.c_str(), b.c_str()) < 0;
                                              }) -
                             c.items.begin());
  c.items.insert(c.items.begin() + static_cast<long>(at), s);
  if (c.selection >= static_cast<int>(at)) ++c.selection;
  return static_cast<int>(at);
}

// Drops the list down and runs it until it closes; the entry chosen, or -1.
int runDroppedList(HWND h, Combo& c) {
  auto& m = wm();
  Device& d = Device::current();
  Window* w = m.get(h);
  if (!w || c.items.empty()) return -1;
  notifyParent(h, CBN_DROPDOWN);
  if (!(w = m.get(h))) return -1;
  RECT box = screenRect(*w);
  const int sh = d.screen().height;
  int rows = static_cast<int>(c.items.size());
  int height = rows * c.itemHeight + 2;
  int top = box.bottom;
  if (top + height > sh) {
    if (box.top - height >= 0)
      top = box.top - height;  // no room below: above the box
    else
      height = std::max(c.itemHeight + 2, (sh - top) / c.itemHeight * c.itemHeight + 2);
  }
  HWND owner = topLevelOf(h);
  DroppedList list{&c, controlFont(h), c.selection};
  HWND popup = CreateWindowExW(WS_EX_TOPMOST, kComboListClass, u"", WS_POPUP | WS_BORDER, box.left, top,
                               box.right - box.left, height, owner, nullptr, nullptr, nullptr);
  if (!popup) return -1;
  c.dropped = true;
  m.openList = c.items;

  int chosen = -1;
  bool done = false, penDownInside = false;
  RECT area{box.left, top, box.right, top + height};
  bool ended = runSystemPopup(
      popup, &list, [&] { return done || !m.get(popup) || !m.get(h); },
      [&](const InputEvent& e) {
        switch (e.kind) {
          case InputEvent::Kind::ChooseList:
            for (size_t i = 0; i < c.items.size() && chosen < 0; ++i)
              if (c.items[i] == e.text) chosen = static_cast<int>(i);
            if (chosen < 0) d.reportProblem("the drop-down list has no entry \"" + narrow(e.text) + "\"");
            done = true;
            return true;
          case InputEvent::Kind::Key:
            if (e.code == VK_ESCAPE) done = true;
            if (e.code == VK_RETURN) chosen = list.hot, done = true;
            return true;
          case InputEvent::Kind::PenDown:
          case InputEvent::Kind::PenMove:
          case InputEvent::Kind::PenUp: {
            bool in = rectContains(area, e.pt);
            if (e.kind == InputEvent::Kind::PenDown) {
              if (!in) {
                done = true;  // a tap elsewhere closes the list
                return true;
              }
              penDownInside = true;
            }
            if (!penDownInside) return true;  // the pen lifting from the tap that opened it
            int hot = in ? (e.pt.y - top - 1) / c.itemHeight : -1;
            if (hot >= static_cast<int>(c.items.size())) hot = -1;
            if (hot >= 0 && hot != list.hot) {
              list.hot = hot;
              InvalidateRect(popup, nullptr, FALSE);
            }
            if (e.kind == InputEvent::Kind::PenUp) {
              chosen = hot;
              done = true;
            }
            return true;
          }
          default: return false;
        }
      });
  if (!ended && !done) d.reportProblem("a drop-down list was left open");
  m.openList.reset();
  c.dropped = false;
  if (m.get(h)) notifyParent(h, CBN_CLOSEUP);
  return chosen;
}

void dropDown(HWND h) {
  Combo* c = systemWindowState<Combo>(h);
  if (!c || c->dropped) return;
  int chosen = runDroppedList(h, *c);
  if (!(c = systemWindowState<Combo>(h)) || chosen < 0 || chosen == c->selection) return;
  c->selection = chosen;
  InvalidateRect(h, nullptr, TRUE);
  notifyParent(h, CBN_SELCHANGE);
}

}  // namespace

LRESULT CALLBACK comboListProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* list = systemWindowState<DroppedList>(h);
  if (msg == WM_PAINT && list) {
    PAINTSTRUCT ps;
    RECT r;
    HDC dc = beginSystemPaint(h, ps, r);
    HGDIOBJ oldFont = SelectObject(dc, list->font);
    const Combo& c = *list->combo;
    for (size_t i = 0; i < c.items.size(); ++i) {
      RECT row{0, static_cast<LONG>(i) * c.itemHeight, r.right, static_cast<LONG>(i + 1) * c.itemHeight};
      bool hot = static_cast<int>(i) == list->hot;
      if (hot) {
        HBRUSH b = CreateSolidBrush(RGB(0, 0, 132));
        FillRect(dc, &row, b);
        DeleteObject(b);
      }
      SetTextColor(dc, hot ? RGB(255, 255, 255) : RGB(0, 0, 0));
      RECT text{row.left + 3, row.top, row.right - 2, row.bottom};
      DrawTextW(dc, c.items[i].c_str(), static_cast<int>(c.items[i].size()), &text,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    SelectObject(dc, oldFont);
    EndPaint(h, &ps);
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

LRESULT CALLBACK comboProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) {
    Combo* c = attachControlState<Combo>(h);
    fitClosedHeight(h, *c);
    return 0;
  }
  Combo* c = systemWindowState<Combo>(h);
  if (!c) return DefWindowProcW(h, msg, wp, lp);
  const int count = static_cast<int>(c->items.size());
  auto valid = [&](WPARAM i) { return static_cast<int>(i) >= 0 && static_cast<int>(i) < count; };
  switch (msg) {
    case WM_PAINT: paintCombo(h, *c); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONDOWN:
      SetFocus(h);
      dropDown(h);
      return 0;
    case CB_SHOWDROPDOWN:
      if (wp) dropDown(h);
      return TRUE;
    case CB_ADDSTRING: {
      int at = addString(*c, controlStyle(h), textOf(reinterpret_cast<LPCWSTR>(lp)));
      InvalidateRect(h, nullptr, TRUE);
      return at;
    }
    case CB_GETCOUNT: return count;
    case CB_GETCURSEL: return c->selection;
    case CB_SETCURSEL:
      // Set by the program: no notification.
      c->selection = valid(wp) ? static_cast<int>(wp) : CB_ERR;
      InvalidateRect(h, nullptr, TRUE);
      return c->selection;
    case CB_GETLBTEXT: {
      if (!valid(wp) || !lp) return CB_ERR;
      const std::u16string& s = c->items[wp];
      std::copy(s.begin(), s.end(), reinterpret_cast<LPWSTR>(lp));
      reinterpret_cast<LPWSTR>(lp)[s.size()] = 0;
      return static_cast<LRESULT>(s.size());
    }
    case CB_GETLBTEXTLEN: return valid(wp) ? static_cast<LRESULT>(c->items[wp].size()) : CB_ERR;
    case CB_RESETCONTENT:
      c->items.clear();
      c->selection = CB_ERR;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_GETTEXT: {
      if (!wp || !lp) return 0;
      std::u16string s = c->selection >= 0 ? c->items[static_cast<size_t>(c->selection)] : u"";
      lstrcpynW(reinterpret_cast<LPWSTR>(lp), s.c_str(), static_cast<int>(wp));
      return lstrlenW(reinterpret_cast<LPWSTR>(lp));
    }
    case WM_GETTEXTLENGTH: return c->selection >= 0 ? static_cast<LRESULT>(c->items[c->selection].size()) : 0;
    case WM_SETFONT: {
      LRESULT r = DefWindowProcW(h, msg, wp, lp);
      fitClosedHeight(h, *c);
      return r;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_ENABLE: InvalidateRect(h, nullptr, TRUE); return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace wince
