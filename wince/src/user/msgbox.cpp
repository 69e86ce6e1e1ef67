// Message boxes: a modal window of the system, drawn on the device's screen
// and answered from the input queue (a tap on a button, or a scripted
// answer naming the button).
#include <windows.h>

#include <algorithm>

#include "device/trace.h"
#include "user/wm_impl.h"

namespace wince {

namespace {

struct BoxButton {
  int id;
  const char16_t* label;
  RECT rect;  // client coordinates
};

struct BoxState {
  std::u16string text;
  UINT type = 0;
  std::vector<BoxButton> buttons;
  std::vector<std::u16string> lines;
  int iconSpace = 0;  // room left of the text for the icon
  int answer = 0;
};

constexpr int kBoxWidth = 220;
constexpr int kLineHeight = 15;
constexpr int kButtonWidth = 60;
constexpr int kButtonHeight = 22;

std::vector<BoxButton> buttonsFor(UINT type) {
  switch (type & 0xF) {
    case MB_OKCANCEL: return {{IDOK, u"OK", {}}, {IDCANCEL, u"Cancel", {}}};
    case MB_YESNO: return {{IDYES, u"Yes", {}}, {IDNO, u"No", {}}};
    default: return {{IDOK, u"OK", {}}};
  }
}

// Breaks the text into lines that fit the width, at spaces where it can.
std::vector<std::u16string> wrap(HDC dc, const std::u16string& text, int width) {
  std::vector<std::u16string> lines;
  std::u16string line;
  auto fits = [&](const std::u16string& s) {
    SIZE sz{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &sz);
    return sz.cx <= width;
  };
  size_t i = 0;
  while (i <= text.size()) {
    if (i == text.size() || text[i] == u'\n') {
      lines.push_back(line);
      line.clear();
      ++i;
      continue;
    }
    line += text[i];
    if (!fits(line)) {
      size_t space = line.rfind(u' ');
      if (space != std::u16string::npos && space > 0) {
        std::u16string rest = line.substr(space + 1);
        line.resize(space);
        lines.push_back(line);
        line = rest;
      } else if (line.size() > 1) {
        char16_t last = line.back();
        line.pop_back();
        lines.push_back(line);
        line = std::u16string(1, last);
      }
    }
    ++i;
  }
  return lines;
}

LRESULT CALLBACK boxProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* box = systemWindowState<BoxState>(hwnd);
  if (msg == WM_PAINT && box) {
    PAINTSTRUCT ps;
    RECT c;
    HDC dc = beginSystemPaint(hwnd, ps, c);
    SetTextColor(dc, RGB(0, 0, 0));
    if (box->iconSpace) {
      // The icon: a round badge, blue "i" for information, red "x" for errors.
      bool error = (box->type & 0xF0) == MB_ICONERROR;
      HBRUSH b = CreateSolidBrush(error ? RGB(200, 30, 30) : RGB(30, 90, 200));
      HGDIOBJ oldBrush = SelectObject(dc, b);
      HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
      Ellipse(dc, 8, 8, 32, 32);
      SelectObject(dc, oldPen);
      SelectObject(dc, oldBrush);
      DeleteObject(b);
      SetTextColor(dc, RGB(255, 255, 255));
      RECT ir{8, 8, 32, 32};
      DrawTextW(dc, error ? u"x" : u"i", 1, &ir, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
      SetTextColor(dc, RGB(0, 0, 0));
    }
    int y = 10;
    for (const auto& line : box->lines) {
      RECT r{8 + box->iconSpace, y, c.right - 8, y + kLineHeight};
      DrawTextW(dc, line.c_str(), static_cast<int>(line.size()), &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
      y += kLineHeight;
    }
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(LTGRAY_BRUSH));
    for (const auto& b : box->buttons) {
      Rectangle(dc, b.rect.left, b.rect.top, b.rect.right, b.rect.bottom);
      RECT r = b.rect;
      DrawTextW(dc, b.label, -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    EndPaint(hwnd, &ps);
    return 0;
  }
  // A box is a dialog: a command naming one of its buttons answers it.
  if (msg == WM_COMMAND && box) {
    for (const auto& b : box->buttons)
      if (b.id == static_cast<int>(LOWORD(wp))) box->answer = b.id;
    return 0;
  }
  if (msg == WM_LBUTTONUP && box) {
    POINT p{static_cast<short>(LOWORD(lp)), static_cast<short>(HIWORD(lp))};
    for (const auto& b : box->buttons)
      if (rectContains(b.rect, p)) box->answer = b.id;
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

const History<WindowManager::ShownMessageBox>& WindowManager::messageBoxes() const { return impl_->boxes; }

const WindowManager::ShownMessageBox* WindowManager::openMessageBox() const {
  return impl_->openBox >= 0 ? &impl_->boxes[static_cast<size_t>(impl_->openBox)] : nullptr;
}

}  // namespace wince

using namespace wince;

WINUSERAPI int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  WINCE_TRACE("MessageBoxW");
  wince_trace_.args(owner, text, caption, type);
  auto& m = wm();
  static const char16_t kClass[] = u"#MessageBox";
  registerSystemClass(kClass, boxProc);
  Device& d = Device::current();
  // Without a caption the platform shows "Error".
  std::u16string title = caption ? std::u16string(caption) : std::u16string(u"Error");
  BoxState box;
  box.text = textOf(text);
  box.type = type;
  box.buttons = buttonsFor(type);
  box.iconSpace = (type & 0xF0) ? 32 : 0;
  HDC measure = GetDC(nullptr);
  box.lines = wrap(measure, box.text, kBoxWidth - 18 - box.iconSpace);
  ReleaseDC(nullptr, measure);
  int clientHeight = 10 + std::max<int>(static_cast<int>(box.lines.size()) * kLineHeight, box.iconSpace) + 12 + kButtonHeight + 8;
  int buttonsWidth = static_cast<int>(box.buttons.size()) * kButtonWidth + (static_cast<int>(box.buttons.size()) - 1) * 8;
  int bx = (kBoxWidth - 2 - buttonsWidth) / 2;
  for (auto& b : box.buttons) {
    b.rect = RECT{bx, clientHeight - 8 - kButtonHeight, bx + kButtonWidth, clientHeight - 8};
    bx += kButtonWidth + 8;
  }
  int height = clientHeight + WindowManager::kCaptionHeight + 2;
  int x = (d.screen().width - kBoxWidth) / 2;
  int y = std::max(0, (d.screen().height - height) / 2);
  HWND hwnd = CreateWindowExW(0, kClass, title.c_str(), WS_POPUP | WS_CAPTION, x, y, kBoxWidth, height, owner, nullptr,
                              nullptr, nullptr);
  if (!hwnd) return wince_trace_.result(0);
  // A box still waiting for its answer stays in the record.
  m.boxes.push(WindowManager::ShownMessageBox{box.text, title, type, owner, 0},
               [](const WindowManager::ShownMessageBox& b) { return b.answer == 0; });
  int index = static_cast<int>(m.boxes.size()) - 1;
  int outer = m.openBox;
  m.openBox = index;
  bool answered = runSystemPopup(
      hwnd, &box, [&] { return box.answer != 0 || !m.get(hwnd); },
      [&](const InputEvent& e) {
        if (e.kind == InputEvent::Kind::AnswerBox) {
          for (const auto& b : box.buttons)
            if (b.id == e.code) box.answer = b.id;
          if (!box.answer) d.reportProblem("the message box has no button " + std::to_string(e.code));
          return true;
        }
        if (e.kind == InputEvent::Kind::PenDown || e.kind == InputEvent::Kind::PenUp ||
            e.kind == InputEvent::Kind::PenMove) {
          // The box is modal: the pen reaches only the box.
          Window* bw = m.get(hwnd);
          if (bw && rectContains(screenRect(*bw), e.pt)) return false;
          return true;
        }
        return false;
      });
  if (!answered && !box.answer) {
    d.reportProblem("a message box was left unanswered: \"" + narrow(box.text) + "\"");
    box.answer = (type & 0xF) == MB_OK ? IDOK : IDCANCEL;
  }
  m.boxes[static_cast<size_t>(index)].answer = box.answer;
  m.openBox = outer;
  return wince_trace_.result(box.answer);
}
