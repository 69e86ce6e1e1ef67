// The device's open-file dialog: a full-screen list of the files that match
// the filter in force, answered by a tap on a file and "OK", a tap on
// "Cancel", or a person's answer from the input queue (a device path, or
// cancel).
#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "device.h"
#include "device/trace.h"
#include "shell_state.h"
#include "user/wm_impl.h"

namespace wince {

namespace {

constexpr char16_t kOpenFileClass[] = u"#OpenFile";
constexpr int kTitleHeight = 26;
constexpr int kTypeHeight = 20;
constexpr int kRowHeight = 18;
constexpr int kButtonWidth = 56;
constexpr int kButtonHeight = 22;

struct OpenFileWindow {
  std::u16string title;
  std::u16string filterName;
  std::vector<std::u16string> files;
  int selected = -1;
  bool done = false;
  std::u16string chosen;  // empty when cancelled
};

std::u16string lower(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return s;
}

// "*" and "?" wildcards, without regard to case.
bool wildcard(const char16_t* p, const char16_t* s) {
  if (!*p) return !*s;
  if (*p == u'*') return wildcard(p + 1, s) || (*s && wildcard(p, s + 1));
  if (!*s) return false;
  if (*p != u'?' && lower(std::u16string(1, *p)) != lower(std::u16string(1, *s))) return false;
  return wildcard(p + 1, s + 1);
}

bool matches(const std::u16string& pattern, const std::u16string& path) {
  std::u16string name = path.substr(path.rfind(u'\\') + 1);
  size_t start = 0;
  while (start <= pattern.size()) {
    size_t end = pattern.find(u';', start);
    if (end == std::u16string::npos) end = pattern.size();
    std::u16string one = pattern.substr(start, end - start);
    if (!one.empty() && wildcard(one.c_str(), name.c_str())) return true;
    start = end + 1;
  }
  return false;
}

// The filter pair in force: nFilterIndex counts from 1; 0, or one past the
// list, means the first pair.
void filterInForce(const OPENFILENAMEW& ofn, std::u16string& name, std::u16string& pattern) {
  std::vector<std::u16string> parts;
  for (LPCWSTR p = ofn.lpstrFilter; p && *p; p += lstrlenW(p) + 1) parts.emplace_back(p);
  size_t pairs = parts.size() / 2;
  if (pairs == 0) {
    pattern = u"*";
    return;
  }
  size_t index = ofn.nFilterIndex >= 1 && ofn.nFilterIndex <= pairs ? ofn.nFilterIndex - 1 : 0;
  name = parts[index * 2];
  pattern = parts[index * 2 + 1];
}

// The files of the device folder and the programs the shell knows, as
// device paths.
std::vector<std::u16string> deviceFiles(const std::u16string& pattern) {
  Device& d = Device::current();
  std::vector<std::u16string> all = d.shell().programPaths();
  const std::filesystem::path& root = d.options().folder;
  std::error_code ec;
  if (!root.empty() && std::filesystem::is_directory(root, ec)) {
    for (auto it = std::filesystem::recursive_directory_iterator(
             root, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      if (!it->is_regular_file(ec)) continue;
      std::u8string rel = it->path().lexically_relative(root).generic_u8string();
      std::u16string path = u"\\" + widen(std::string(rel.begin(), rel.end()));
      std::replace(path.begin(), path.end(), u'/', u'\\');
      all.push_back(path);
    }
  }
  std::vector<std::u16string> out;
  for (const auto& p : all)
    if (matches(pattern, p) && std::none_of(out.begin(), out.end(), [&](const auto& o) { return lower(o) == lower(p); }))
      out.push_back(p);
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) { return lower(a) < lower(b); });
  return out;
}

RECT listRect(const RECT& c) { return RECT{0, kTitleHeight + kTypeHeight, c.right, c.bottom - kButtonHeight - 8}; }
RECT okRect(const RECT& c) {
  return RECT{c.right - 2 * kButtonWidth - 8, c.bottom - kButtonHeight - 4, c.right - kButtonWidth - 8, c.bottom - 4};
}
RECT cancelRect(const RECT& c) {
  return RECT{c.right - kButtonWidth - 4, c.bottom - kButtonHeight - 4, c.right - 4, c.bottom - 4};
}

void drawButton(HDC dc, const RECT& r, const char16_t* label) {
  HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  Rectangle(dc, r.left, r.top, r.right, r.bottom);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  RECT t = r;
  DrawTextW(dc, label, -1, &t, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
}

void paintOpenFile(HWND h, const OpenFileWindow& s) {
  PAINTSTRUCT ps;
  RECT c;
  HDC dc = beginSystemPaint(h, ps, c);
  HBRUSH navy = CreateSolidBrush(RGB(0, 0, 132));
  RECT bar{0, 0, c.right, kTitleHeight};
  FillRect(dc, &bar, navy);
  HGDIOBJ oldFont = SelectObject(dc, GetStockObject(SYSTEM_FONT));
  SetTextColor(dc, RGB(255, 255, 255));
  RECT title{6, 0, c.right - 4, kTitleHeight};
  DrawTextW(dc, s.title.c_str(), -1, &title, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, RGB(0, 0, 0));
  std::u16string type = u"Type: " + s.filterName;
  RECT typeRect{6, kTitleHeight, c.right - 4, kTitleHeight + kTypeHeight};
  DrawTextW(dc, type.c_str(), -1, &typeRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  RECT list = listRect(c);
  POINT rule[2] = {{0, list.top - 1}, {c.right, list.top - 1}};
  Polyline(dc, rule, 2);
  for (size_t i = 0; i < s.files.size(); ++i) {
    RECT row{0, list.top + static_cast<LONG>(i) * kRowHeight, c.right, list.top + static_cast<LONG>(i + 1) * kRowHeight};
    if (row.bottom > list.bottom) break;
    bool selected = static_cast<int>(i) == s.selected;
    if (selected) FillRect(dc, &row, navy);
    SetTextColor(dc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
    const std::u16string& f = s.files[i];
    std::u16string name = f.substr(f.rfind(u'\\') + 1);
    std::u16string folder = f.substr(0, f.rfind(u'\\'));
    RECT text{6, row.top, c.right / 2 + 20, row.bottom};
    DrawTextW(dc, name.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    RECT where{c.right / 2 + 24, row.top, c.right - 4, row.bottom};
    DrawTextW(dc, folder.empty() ? u"\\" : folder.c_str(), -1, &where, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  }
  SetTextColor(dc, RGB(0, 0, 0));
  drawButton(dc, okRect(c), u"OK");
  drawButton(dc, cancelRect(c), u"Cancel");
  SelectObject(dc, oldFont);
  DeleteObject(navy);
  EndPaint(h, &ps);
}

LRESULT CALLBACK openFileProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  auto* s = systemWindowState<OpenFileWindow>(h);
  if (!s) return DefWindowProcW(h, msg, wp, lp);
  RECT c;
  GetClientRect(h, &c);
  POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
  switch (msg) {
    case WM_PAINT: paintOpenFile(h, *s); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_LBUTTONUP: {
      RECT list = listRect(c);
      if (rectContains(list, p)) {
        int row = (p.y - list.top) / kRowHeight;
        s->selected = row < static_cast<int>(s->files.size()) ? row : -1;
        InvalidateRect(h, nullptr, FALSE);
      } else if (rectContains(okRect(c), p) && s->selected >= 0) {
        s->chosen = s->files[static_cast<size_t>(s->selected)];
        s->done = true;
      } else if (rectContains(cancelRect(c), p)) {
        s->done = true;
      }
      return 0;
    }
  }
  return DefWindowProcW(h, msg, wp, lp);
}

// Shows the dialog and waits for the person's answer: the chosen device
// path, or empty.
std::u16string runOpenFile(HWND owner, const ShellState::ShownOpenFile shown) {
  auto& m = wm();
  Device& d = Device::current();
  registerSystemClass(kOpenFileClass, openFileProc);
  OpenFileWindow state{shown.title, shown.filterName, shown.files, -1, false, {}};
  HWND top = topLevelOf(owner);
  bool ownerDisabled = top && IsWindowEnabled(top);
  if (ownerDisabled) EnableWindow(top, FALSE);
  HWND h = CreateWindowExW(WS_EX_TOPMOST, kOpenFileClass, shown.title.c_str(), WS_POPUP, 0, 0, d.screen().width,
                           d.screen().height, top, nullptr, nullptr, nullptr);
  if (!h) {
    if (ownerDisabled) EnableWindow(top, TRUE);
    return {};
  }
  bool ended = runSystemPopup(
      h, &state, [&] { return state.done || !m.get(h); },
      [&](const InputEvent& e) {
        switch (e.kind) {
          case InputEvent::Kind::ChooseFile:
            state.chosen = e.text;
            state.done = true;
            return true;
          case InputEvent::Kind::CancelFile:
            state.chosen.clear();
            state.done = true;
            return true;
          case InputEvent::Kind::Key:
            if (e.code == VK_ESCAPE) state.done = true;
            if (e.code == VK_RETURN && state.selected >= 0) {
              state.chosen = state.files[static_cast<size_t>(state.selected)];
              state.done = true;
            }
            return true;
          default: return false;
        }
      });
  if (!ended && !state.done) d.reportProblem("the open-file dialog was left open: \"" + narrow(shown.title) + "\"");
  if (ownerDisabled && IsWindow(top)) EnableWindow(top, TRUE);
  return state.done ? state.chosen : std::u16string();
}

}  // namespace

const ShellState::ShownOpenFile* ShellState::openOpenFileDialog() const {
  for (auto it = openFiles_.rbegin(); it != openFiles_.rend(); ++it)
    if (it->open) return &*it;
  return nullptr;
}

}  // namespace wince

using namespace wince;

WINBASEAPI DWORD WINAPI CommDlgExtendedError(void) {
  WINCE_TRACE("CommDlgExtendedError");
  wince_trace_.args();
  return wince_trace_.result(Device::current().shell().commonDialogError());
}

WINBASEAPI BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW ofn) {
  WINCE_TRACE("GetOpenFileNameW");
  wince_trace_.args(ofn ? ofn->lStructSize : 0u, ofn ? ofn->hwndOwner : nullptr, ofn ? ofn->lpstrTitle : nullptr,
                    ofn ? ofn->nMaxFile : 0u, ofn ? ofn->Flags : 0u);
  Device& d = Device::current();
  ShellState& shell = d.shell();
  shell.commonDialogError() = 0;
  if (DWORD e; wince_trace_.failure(&e)) {
    // A common dialog reports its failure through CommDlgExtendedError.
    shell.commonDialogError() = e;
    return wince_trace_.result(FALSE);
  }
  // The structure of this build: the device's 76-byte layout.
  if (!ofn || ofn->lStructSize != sizeof(OPENFILENAMEW)) {
    shell.commonDialogError() = CDERR_STRUCTSIZE;
    return wince_trace_.result(FALSE);
  }
  if (!ofn->lpstrFile || ofn->nMaxFile == 0 || (ofn->hwndOwner && !IsWindow(ofn->hwndOwner))) {
    shell.commonDialogError() = CDERR_INITIALIZATION;
    return wince_trace_.result(FALSE);
  }
  ShellState::ShownOpenFile shown;
  shown.title = ofn->lpstrTitle ? ofn->lpstrTitle : u"Open";
  filterInForce(*ofn, shown.filterName, shown.pattern);
  shown.owner = ofn->hwndOwner;
  shown.files = deviceFiles(shown.pattern);
  auto& list = shell.shownOpenFileDialogs();
  size_t index = list.size();
  list.push(shown, [](const ShellState::ShownOpenFile& f) { return f.open; });
  std::u16string chosen = runOpenFile(ofn->hwndOwner, list[index]);
  list[index].open = false;
  list[index].chosen = chosen;
  if (chosen.empty()) return wince_trace_.result(FALSE);

  const size_t need = chosen.size() + 1;
  if (need > ofn->nMaxFile) {
    // Too long for the caller's buffer: its first two bytes tell the size
    // needed, in characters.
    if (ofn->nMaxFile >= 1) ofn->lpstrFile[0] = static_cast<WCHAR>(std::min<size_t>(need, 0xFFFF));
    shell.commonDialogError() = FNERR_BUFFERTOOSMALL;
    return wince_trace_.result(FALSE);
  }
  std::copy(chosen.begin(), chosen.end(), ofn->lpstrFile);
  ofn->lpstrFile[chosen.size()] = 0;
  size_t slash = chosen.rfind(u'\\');
  size_t nameAt = slash == std::u16string::npos ? 0 : slash + 1;
  size_t dot = chosen.rfind(u'.');
  ofn->nFileOffset = static_cast<WORD>(nameAt);
  ofn->nFileExtension = static_cast<WORD>(dot != std::u16string::npos && dot >= nameAt ? dot + 1 : chosen.size());
  if (ofn->lpstrFileTitle && ofn->nMaxFileTitle > 0)
    lstrcpynW(ofn->lpstrFileTitle, chosen.c_str() + nameAt, static_cast<int>(ofn->nMaxFileTitle));
  return wince_trace_.result(TRUE);
}
