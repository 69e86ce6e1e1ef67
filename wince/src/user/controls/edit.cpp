// EDIT: a single-line text field typed into from the keyboard, with a
// caret, a selection and horizontal scrolling (ES_AUTOHSCROLL).
#include <windows.h>

#include <algorithm>

#include "user/controls/controls.h"
#include "user/dialog.h"

namespace wince {

namespace {

constexpr int kMargin = 2;
constexpr int kDefaultLimit = 32767;

struct Edit {
  int anchor = 0;  // selection: from anchor to caret
  int caret = 0;
  int scroll = 0;  // pixels of text hidden on the left
  int limit = kDefaultLimit;
  bool focused = false;
};

std::u16string& textOfEdit(HWND h) { return wm().get(h)->text; }

int selStart(const Edit& e) { return std::min(e.anchor, e.caret); }
int selEnd(const Edit& e) { return std::max(e.anchor, e.caret); }

// A screen DC with the control's font selected, for measuring its text.
class MeasuringDc {
 public:
  explicit MeasuringDc(HWND h) : dc_(GetDC(nullptr)), old_(SelectObject(dc_, controlFont(h))) {}
  ~MeasuringDc() {
    SelectObject(dc_, old_);
    ReleaseDC(nullptr, dc_);
  }
  MeasuringDc(const MeasuringDc&) = delete;
  MeasuringDc& operator=(const MeasuringDc&) = delete;
  operator HDC() const { return dc_; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Width in pixels of the first n characters of the text, in the font
// selected into dc.
int prefixWidth(HDC dc, const std::u16string& t, int n) {
  SIZE sz{};
  GetTextExtentPoint32W(dc, t.c_str(), std::min<int>(n, static_cast<int>(t.size())), &sz);
  return sz.cx;
}

int visibleWidth(HWND h) {
  RECT c;
  GetClientRect(h, &c);
  return std::max<int>(1, c.right - 2 * kMargin);
}

// Keeps the caret in view: a caret past the right edge scrolls the text
// left, one before the left edge scrolls it back.
void scrollToCaret(HWND h, Edit& e) {
  int x = prefixWidth(MeasuringDc(h), textOfEdit(h), e.caret);
  int w = visibleWidth(h);
  if (x - e.scroll > w - 1) e.scroll = x - (w - 1);
  if (x < e.scroll) e.scroll = std::max(0, x - w / 4);
  if (e.scroll < 0) e.scroll = 0;
}

// The character boundary nearest to a client x.
int indexAt(HWND h, const Edit& e, int x) {
  int target = x - kMargin + e.scroll;
  const std::u16string& t = textOfEdit(h);
  int n = static_cast<int>(t.size());
  MeasuringDc dc(h);
  int best = 0, bestDist = INT32_MAX;
  for (int i = 0; i <= n; ++i) {
    int d = std::abs(prefixWidth(dc, t, i) - target);
    if (d < bestDist) best = i, bestDist = d;
  }
  return best;
}

void paintEdit(HWND h, Edit& e) {
  PAINTSTRUCT ps;
  RECT c;
  HDC dc = beginControlPaint(h, ps, c, WM_CTLCOLOREDIT);
  HGDIOBJ oldFont = SelectObject(dc, controlFont(h));
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  const std::u16string& t = textOfEdit(h);
  int top = (c.bottom - tm.tmHeight) / 2;
  int left = kMargin - e.scroll;
  RECT clip{kMargin, 0, c.right - kMargin, c.bottom};
  if (!IsWindowEnabled(h)) SetTextColor(dc, RGB(128, 128, 128));
  ExtTextOutW(dc, left, top, ETO_CLIPPED, &clip, t.c_str(), static_cast<UINT>(t.size()), nullptr);
  if (e.focused && selStart(e) != selEnd(e)) {
    // The selection in the highlight colours.
    int x0 = left + prefixWidth(dc, t, selStart(e));
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(0, 0, 132));
    SetBkMode(dc, OPAQUE);
    RECT sel{std::max<LONG>(x0, clip.left), top, std::min<LONG>(left + prefixWidth(dc, t, selEnd(e)), clip.right),
             top + tm.tmHeight};
    ExtTextOutW(dc, x0, top, ETO_CLIPPED | ETO_OPAQUE, &sel, t.c_str() + selStart(e),
                static_cast<UINT>(selEnd(e) - selStart(e)), nullptr);
  }
  if (e.focused) {
    int x = left + prefixWidth(dc, t, e.caret);
    RECT caret{x, top, x + 1, top + tm.tmHeight};
    FillRect(dc, &caret, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  }
  SelectObject(dc, oldFont);
  EndPaint(h, &ps);
}

void changed(HWND h, Edit& e) {
  scrollToCaret(h, e);
  InvalidateRect(h, nullptr, TRUE);
  notifyParent(h, EN_CHANGE);
}

bool deleteSelection(HWND h, Edit& e) {
  if (selStart(e) == selEnd(e)) return false;
  int s = selStart(e);
  textOfEdit(h).erase(static_cast<size_t>(s), static_cast<size_t>(selEnd(e) - s));
  e.anchor = e.caret = s;
  return true;
}

// Without ES_AUTOHSCROLL the text may not grow wider than the field.
bool fits(HWND h) {
  if (controlStyle(h) & ES_AUTOHSCROLL) return true;
  const std::u16string& t = textOfEdit(h);
  return prefixWidth(MeasuringDc(h), t, static_cast<int>(t.size())) <= visibleWidth(h);
}

void typeChar(HWND h, Edit& e, char16_t c) {
  if (controlStyle(h) & ES_READONLY) return;
  std::u16string& t = textOfEdit(h);
  if (c == VK_BACK) {
    if (!deleteSelection(h, e)) {
      if (e.caret == 0) return;
      t.erase(static_cast<size_t>(e.caret - 1), 1);
      e.anchor = --e.caret;
    }
    changed(h, e);
    return;
  }
  if (c < 0x20) return;  // control characters do not type
  std::u16string before = t;
  Edit was = e;
  bool hadSelection = deleteSelection(h, e);
  if (static_cast<int>(t.size()) >= e.limit) {
    if (hadSelection) changed(h, e);
    return;
  }
  t.insert(t.begin() + e.caret, c);
  e.anchor = ++e.caret;
  if (!fits(h)) {
    t = before;
    e = was;
    return;
  }
  changed(h, e);
}

void moveCaret(HWND h, Edit& e, int to) {
  int n = static_cast<int>(textOfEdit(h).size());
  e.anchor = e.caret = std::clamp(to, 0, n);
  scrollToCaret(h, e);
  InvalidateRect(h, nullptr, TRUE);
}

void setSel(HWND h, Edit& e, int start, int end) {
  int n = static_cast<int>(textOfEdit(h).size());
  if (start == -1) {
    e.anchor = e.caret;  // no selection; the caret stays
  } else {
    if (end < 0 || end > n) end = n;
    start = std::clamp(start, 0, n);
    e.anchor = start;
    e.caret = end;
  }
  scrollToCaret(h, e);
  InvalidateRect(h, nullptr, TRUE);
}

}  // namespace

LRESULT CALLBACK editProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CREATE) {
    attachControlState<Edit>(h);
    return 0;
  }
  Edit* e = systemWindowState<Edit>(h);
  if (!e) return DefWindowProcW(h, msg, wp, lp);
  switch (msg) {
    case WM_PAINT: paintEdit(h, *e); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_CHAR: typeChar(h, *e, static_cast<char16_t>(wp)); return 0;
    case WM_KEYDOWN:
      switch (wp) {
        case VK_LEFT: moveCaret(h, *e, selStart(*e) != selEnd(*e) ? selStart(*e) : e->caret - 1); break;
        case VK_RIGHT: moveCaret(h, *e, selStart(*e) != selEnd(*e) ? selEnd(*e) : e->caret + 1); break;
        case VK_HOME: moveCaret(h, *e, 0); break;
        case VK_END: moveCaret(h, *e, static_cast<int>(textOfEdit(h).size())); break;
        case VK_DELETE:
          if (controlStyle(h) & ES_READONLY) break;
          if (!deleteSelection(h, *e)) {
            if (e->caret >= static_cast<int>(textOfEdit(h).size())) break;
            textOfEdit(h).erase(static_cast<size_t>(e->caret), 1);
          }
          changed(h, *e);
          break;
      }
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(h);
      if ((e = systemWindowState<Edit>(h))) moveCaret(h, *e, indexAt(h, *e, static_cast<short>(LOWORD(lp))));
      return 0;
    case WM_SETFOCUS:
      e->focused = true;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_KILLFOCUS:
      e->focused = false;
      InvalidateRect(h, nullptr, TRUE);
      return 0;
    case WM_SETTEXT:
      // The caret goes to the start, and the parent hears of the change.
      textOfEdit(h) = textOf(reinterpret_cast<LPCWSTR>(lp));
      e->anchor = e->caret = 0;
      e->scroll = 0;
      InvalidateRect(h, nullptr, TRUE);
      notifyParent(h, EN_CHANGE);
      return TRUE;
    case EM_LIMITTEXT:
      e->limit = wp ? static_cast<int>(std::min<WPARAM>(wp, 0x7FFFFFFE)) : 0x7FFFFFFE;
      return 0;
    case EM_GETLIMITTEXT: return e->limit;
    case EM_GETSEL:
      if (wp) *reinterpret_cast<DWORD*>(wp) = static_cast<DWORD>(selStart(*e));
      if (lp) *reinterpret_cast<DWORD*>(lp) = static_cast<DWORD>(selEnd(*e));
      return MAKELONG(selStart(*e), selEnd(*e));
    case EM_SETSEL: setSel(h, *e, static_cast<int>(wp), static_cast<int>(lp)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    case WM_SETFONT: {
      LRESULT r = DefWindowProcW(h, msg, wp, lp);
      scrollToCaret(h, *e);
      return r;
    }
    case WM_ENABLE: InvalidateRect(h, nullptr, TRUE); return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

}  // namespace wince
