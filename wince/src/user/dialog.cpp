// The dialog manager: modal dialogs built from templates and run in their
// own loop, dialog items, and dialog units.
#include "user/dialog.h"

#include <windows.h>

#include <algorithm>
#include <memory>

#include "device/trace.h"
#include "resource_directory.h"
#include "kernel/resources.h"
#include "user/wm_impl.h"

namespace wince {

namespace {

constexpr char16_t kDialogClass[] = u"#32770";

const char16_t* controlClass(WORD ordinal) {
  switch (ordinal) {
    case 0x0080: return u"BUTTON";
    case 0x0081: return u"EDIT";
    case 0x0082: return u"STATIC";
    case 0x0083: return u"LISTBOX";
    case 0x0084: return u"SCROLLBAR";
    case 0x0085: return u"COMBOBOX";
  }
  return nullptr;
}

// True when a top-level window is the dialog or owned by it (its done bar,
// a dropped-down list, a message box it opened).
bool ownedBy(HWND top, HWND dialog) {
  for (Window* w = wm().get(top); w; w = wm().get(w->owner))
    if (w->handle == dialog) return true;
  return false;
}

// Owned windows stay above their owner when the owner comes to the top.
void raiseOwned(HWND owner) {
  std::vector<HWND> owned;
  for (HWND t : wm().topLevel)
    if (Window* w = wm().get(t); w && w->owner == owner) owned.push_back(t);
  for (HWND t : owned) raiseTopLevel(t, true);
}

HFONT createTemplateFont(const DialogTemplate& t) {
  if (!(t.style & DS_SETFONT)) return nullptr;
  LOGFONTW lf{};
  HDC screen = GetDC(nullptr);
  lf.lfHeight = -mulDiv(t.pointSize, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  lf.lfWeight = t.weight;
  lf.lfItalic = t.italic;
  lstrcpynW(lf.lfFaceName, t.face.c_str(), LF_FACESIZE);
  return CreateFontIndirectW(&lf);
}

// Builds the dialog: window, font, controls, WM_INITDIALOG, initial focus.
// Null when the window or a control cannot be created.
HWND createDialog(HINSTANCE instance, const DialogTemplate& t, HWND owner, DLGPROC proc, LPARAM param,
                  std::shared_ptr<DialogState>& state) {
  // Pocket PC dialogs are white; a dialog procedure that hands
  // WM_ERASEBKGND to DefWindowProcW gets the same look.
  registerSystemClass(kDialogClass, DefDlgProcW, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  registerControlClasses();
  Device& d = Device::current();
  state = std::make_shared<DialogState>();
  state->proc = proc;
  state->owner = owner;
  state->font = createTemplateFont(t);
  state->base = fontBaseUnits(state->font);
  const SIZE base = state->base;

  DWORD style = (t.style & ~(WS_VISIBLE | WS_CHILD)) | WS_POPUP;
  Window probe;
  probe.style = style;
  RECT in = clientInsets(probe);
  int width = dialogUnitsX(t.cx, base) + in.left + in.right;
  int height = dialogUnitsY(t.cy, base) + in.top + in.bottom;
  int x = dialogUnitsX(t.x, base), y = dialogUnitsY(t.y, base);
  const int sw = d.screen().width, sh = d.screen().height;
  if (t.style & DS_CENTER) {
    x = (sw - width) / 2;
    y = (sh - height) / 2;
  } else if (Window* o = wm().get(owner); o && !(t.style & DS_ABSALIGN)) {
    RECT oc = clientScreenRect(*o);
    x += oc.left;
    y += oc.top;
  }
  // A top-level dialog is kept on the screen.
  x = std::max(0, std::min(x, sw - width));
  y = std::max(0, std::min(y, sh - height));

  std::u16string cls = kDialogClass;
  if (!t.className.empty())
    cls = t.className;
  else if (t.classOrdinal)
    cls = u"#" + widen(std::to_string(t.classOrdinal));
  HWND h = CreateWindowExW(t.exStyle, cls.c_str(), t.title.c_str(), style, x, y, width, height, owner, nullptr,
                           instance, nullptr);
  if (!h) {
    if (state->font) DeleteObject(state->font);
    return nullptr;
  }
  state->hwnd = h;
  Window* w = wm().get(h);
  wm().dialogs[h] = state.get();
  w->font = state->font ? state->font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
  std::shared_ptr<DialogState> keep = state;
  // A template may name a class of its own, a control's say, whose window
  // already keeps state of its own to free: that goes too.
  w->onDestroyed = [keep, classOwn = std::move(w->onDestroyed)] {
    wm().dialogs.erase(keep->hwnd);
    if (keep->font) DeleteObject(keep->font);
    keep->font = nullptr;
    if (classOwn) classOwn();
  };
  if (owner && IsWindowEnabled(owner)) {
    EnableWindow(owner, FALSE);
    state->ownerDisabled = true;
  }
  if (state->font) SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), 0);

  for (const DialogItem& item : t.items) {
    std::u16string itemClass = item.className;
    if (itemClass.empty()) {
      const char16_t* known = controlClass(item.classOrdinal);
      itemClass = known ? known : u"#" + widen(std::to_string(item.classOrdinal));
    }
    std::u16string title = item.title;
    if (item.titleIsOrdinal) title = std::u16string{char16_t(0xFFFF), static_cast<char16_t>(item.titleOrdinal)};
    HWND c = CreateWindowExW(item.exStyle, itemClass.c_str(), title.c_str(), item.style | WS_CHILD,
                             dialogUnitsX(item.x, base), dialogUnitsY(item.y, base), dialogUnitsX(item.cx, base),
                             dialogUnitsY(item.cy, base), h, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(item.id)),
                             instance, const_cast<void*>(item.creationData));
    if (!c) {
      if (t.style & DS_NOFAILCREATE) continue;
      DestroyWindow(h);
      return nullptr;
    }
    if (state->font) SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), 0);
  }

  HWND first = nextTabStop(h, nullptr, false);
  LRESULT focus = SendMessageW(h, WM_INITDIALOG, reinterpret_cast<WPARAM>(first), param);
  if (!IsWindow(h)) return nullptr;
  if (focus)
    if (HWND f = nextTabStop(h, nullptr, false)) dialogSetFocus(f);
  return h;
}

void giveOwnerBack(DialogState& s) {
  if (s.ownerDisabled && IsWindow(s.owner)) EnableWindow(s.owner, TRUE);
  s.ownerDisabled = false;
}

INT_PTR runDialog(HINSTANCE instance, const DialogTemplate& t, HWND parent, DLGPROC proc, LPARAM param) {
  auto& m = wm();
  Device& d = Device::current();
  if (parent && !windowOf(parent)) return 0;
  if (t.hasMenu) {
    // Dialogs on this device have no menu bar of their own.
    d.lastError() = ERROR_INVALID_PARAMETER;
    return -1;
  }
  HWND owner = topLevelOf(parent);
  CaptureSuspended capture;
  std::shared_ptr<DialogState> state;
  HWND h = createDialog(instance, t, owner, proc, param, state);
  if (!h) {
    if (state) giveOwnerBack(*state);
    return state && state->ended ? state->result : -1;
  }
  size_t index = m.shownDialogs.size();
  m.shownDialogs.push(WindowManager::ShownDialog{h, m.get(h)->text, owner, 0, true},
                     [](const WindowManager::ShownDialog& d) { return d.open; });
  if (!state->ended) {
    ShowWindow(h, SW_SHOWNORMAL);
    raiseOwned(h);
    if (t.style & DS_SETFOREGROUND) SetForegroundWindow(h);
    UpdateWindow(h);
  }
  m.shownDialogs[index].title = m.get(h) ? m.get(h)->text : m.shownDialogs[index].title;

  bool penBlocked = false;
  bool finished = modalLoop([&] { return state->ended || !m.get(h); },
                            [&](const InputEvent& e) {
                              switch (e.kind) {
                                case InputEvent::Kind::PenDown:
                                  // Modal: the pen reaches only the dialog and what it owns.
                                  penBlocked = !m.capture && !ownedBy(topLevelAt(e.pt), h);
                                  return penBlocked;
                                case InputEvent::Kind::PenMove:
                                case InputEvent::Kind::PenUp: {
                                  bool blocked = penBlocked && !m.capture;
                                  if (e.kind == InputEvent::Kind::PenUp) penBlocked = false;
                                  return blocked;
                                }
                                case InputEvent::Kind::Key: return dialogKey(h, e.code);
                                case InputEvent::Kind::ChooseList:
                                  d.reportProblem("no drop-down list is open to choose \"" + narrow(e.text) + "\" from");
                                  return true;
                                default: return false;
                              }
                            },
                            [&](const MSG& msg) {
                              // A key posted to the dialog or one of its controls
                              // meets the dialog's keys as a key pressed does.
                              return msg.message == WM_KEYDOWN && msg.hwnd &&
                                     (msg.hwnd == h || isDescendant(msg.hwnd, h)) &&
                                     dialogKey(h, static_cast<int>(msg.wParam));
                            });
  // Destroyed without EndDialog (DefWindowProcW on WM_CLOSE, say), the
  // dialog answers 0; ended first and destroyed with its owner before its
  // loop saw it, it answers what EndDialog was given.
  INT_PTR result = state->ended ? state->result : 0;
  if (Window* w = m.get(h))
    if (!finished && !state->ended) d.reportProblem("a dialog was left open: \"" + narrow(w->text) + "\"");
  giveOwnerBack(*state);
  if (m.get(h)) DestroyWindow(h);
  m.shownDialogs[index].result = result;
  m.shownDialogs[index].open = false;
  return result;
}

}  // namespace

DialogState* dialogState(HWND hwnd) {
  auto& dialogs = wm().dialogs;
  auto it = dialogs.find(hwnd);
  return it == dialogs.end() || !wm().get(hwnd) ? nullptr : it->second;
}

const History<WindowManager::ShownDialog>& WindowManager::dialogsShown() const { return impl_->shownDialogs; }

// Dialogs nest: the innermost one open is the last one still open.
const WindowManager::ShownDialog* WindowManager::openDialog() const {
  const auto& shown = impl_->shownDialogs;
  for (auto it = shown.rbegin(); it != shown.rend(); ++it)
    if (it->open) return &*it;
  return nullptr;
}

const std::vector<std::u16string>* WindowManager::openDropDownList() const {
  return impl_->openList ? &*impl_->openList : nullptr;
}

}  // namespace wince

using namespace wince;

WINUSERAPI INT_PTR WINAPI DialogBoxParamW(HINSTANCE instance, LPCWSTR name, HWND parent, DLGPROC proc, LPARAM param) {
  WINCE_TRACE("DialogBoxParamW");
  if ((reinterpret_cast<UINT_PTR>(name) >> 16) == 0)
    wince_trace_.args(instance, static_cast<unsigned>(reinterpret_cast<UINT_PTR>(name)), parent, param);
  else
    wince_trace_.args(instance, name, parent, param);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, static_cast<INT_PTR>(-1));
  Device& d = Device::current();
  const ResourceDirectory* dir = d.resources().directory(instance);
  const ResourceEntry* entry = dir ? dir->find(ResourceId(uint16_t{5}), ResourceId::fromArgument(name)) : nullptr;
  DialogTemplate t;
  if (!entry || !parseDialogTemplate(entry->data, entry->size, t)) {
    d.lastError() = entry ? ERROR_RESOURCE_DATA_NOT_FOUND : ERROR_RESOURCE_NAME_NOT_FOUND;
    return wince_trace_.result(static_cast<INT_PTR>(-1));
  }
  return wince_trace_.result(runDialog(instance, t, parent, proc, param));
}

WINUSERAPI INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW tmpl, HWND parent, DLGPROC proc,
                                                  LPARAM param) {
  WINCE_TRACE("DialogBoxIndirectParamW");
  wince_trace_.args(instance, static_cast<const void*>(tmpl), parent, param);
  if (DWORD e; wince_trace_.failure(&e)) return wince_trace_.fail(e, static_cast<INT_PTR>(-1));
  DialogTemplate t;
  if (!parseDialogTemplate(tmpl, SIZE_MAX, t)) {
    Device::current().lastError() = ERROR_INVALID_PARAMETER;
    return wince_trace_.result(static_cast<INT_PTR>(-1));
  }
  return wince_trace_.result(runDialog(instance, t, parent, proc, param));
}

WINUSERAPI BOOL WINAPI EndDialog(HWND hDlg, INT_PTR result) {
  WINCE_TRACE("EndDialog");
  wince_trace_.args(hDlg, result);
  DialogState* s = dialogState(hDlg);
  if (!s) {
    Device::current().lastError() = ERROR_INVALID_WINDOW_HANDLE;
    return wince_trace_.result(FALSE);
  }
  s->ended = true;
  s->result = result;
  // The owner comes back before the dialog goes, so the focus can return.
  giveOwnerBack(*s);
  ShowWindow(hDlg, SW_HIDE);
  if (wm().focus && isDescendant(wm().focus, hDlg)) SetFocus(IsWindow(s->owner) ? s->owner : nullptr);
  return wince_trace_.result(TRUE);
}

WINUSERAPI HWND WINAPI GetDlgItem(HWND hDlg, int id) {
  WINCE_TRACE("GetDlgItem");
  wince_trace_.args(hDlg, id);
  Window* d = windowOf(hDlg);
  if (!d) return wince_trace_.result(static_cast<HWND>(nullptr));
  for (HWND c : d->children)
    if (Window* w = wm().get(c); w && static_cast<int>(w->id) == id) return wince_trace_.result(c);
  Device::current().lastError() = 1421;  // ERROR_CONTROL_ID_NOT_FOUND
  return wince_trace_.result(static_cast<HWND>(nullptr));
}

WINUSERAPI int WINAPI GetDlgCtrlID(HWND hwnd) {
  WINCE_TRACE("GetDlgCtrlID");
  wince_trace_.args(hwnd);
  Window* w = windowOf(hwnd);
  if (!w || !w->parent) return wince_trace_.result(0);
  return wince_trace_.result(static_cast<int>(w->id));
}

WINUSERAPI LRESULT WINAPI SendDlgItemMessageW(HWND hDlg, int id, UINT msg, WPARAM wp, LPARAM lp) {
  WINCE_TRACE("SendDlgItemMessageW");
  wince_trace_.args(hDlg, id, msg, wp, lp);
  HWND c = GetDlgItem(hDlg, id);
  return wince_trace_.result(c ? SendMessageW(c, msg, wp, lp) : static_cast<LRESULT>(0));
}

WINUSERAPI BOOL WINAPI SetDlgItemTextW(HWND hDlg, int id, LPCWSTR text) {
  WINCE_TRACE("SetDlgItemTextW");
  wince_trace_.args(hDlg, id, text);
  HWND c = GetDlgItem(hDlg, id);
  if (!c) return wince_trace_.result(FALSE);
  return wince_trace_.result(static_cast<BOOL>(SendMessageW(c, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))));
}

WINUSERAPI UINT WINAPI GetDlgItemTextW(HWND hDlg, int id, LPWSTR buffer, int max) {
  WINCE_TRACE("GetDlgItemTextW");
  wince_trace_.args(hDlg, id, max);
  if (buffer && max > 0) buffer[0] = 0;
  HWND c = GetDlgItem(hDlg, id);
  if (!c || !buffer || max <= 0) return wince_trace_.result(0u);
  return wince_trace_.result(
      static_cast<UINT>(SendMessageW(c, WM_GETTEXT, static_cast<WPARAM>(max), reinterpret_cast<LPARAM>(buffer))));
}

WINUSERAPI BOOL WINAPI CheckRadioButton(HWND hDlg, int first, int last, int check) {
  WINCE_TRACE("CheckRadioButton");
  wince_trace_.args(hDlg, first, last, check);
  Window* d = windowOf(hDlg);
  if (!d) return wince_trace_.result(FALSE);
  std::vector<HWND> children = d->children;
  for (HWND c : children) {
    Window* w = wm().get(c);
    if (!w) continue;
    int id = static_cast<int>(w->id);
    if (id >= first && id <= last) SendMessageW(c, BM_SETCHECK, id == check ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  return wince_trace_.result(TRUE);
}

WINUSERAPI BOOL WINAPI MapDialogRect(HWND hDlg, LPRECT r) {
  WINCE_TRACE("MapDialogRect");
  wince_trace_.args(hDlg);
  DialogState* s = dialogState(hDlg);
  if (!s || !r) {
    Device::current().lastError() = ERROR_INVALID_WINDOW_HANDLE;
    return wince_trace_.result(FALSE);
  }
  r->left = dialogUnitsX(r->left, s->base);
  r->right = dialogUnitsX(r->right, s->base);
  r->top = dialogUnitsY(r->top, s->base);
  r->bottom = dialogUnitsY(r->bottom, s->base);
  return wince_trace_.result(TRUE);
}

WINUSERAPI LONG WINAPI GetDialogBaseUnits(void) {
  WINCE_TRACE("GetDialogBaseUnits");
  wince_trace_.args();
  SIZE b = fontBaseUnits(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
  return wince_trace_.result(MAKELONG(b.cx, b.cy));
}
