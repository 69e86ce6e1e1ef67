// Shared set-up of the dialog and control tests: dialog templates built in
// memory, a dialog procedure that logs what it receives and runs the test's
// steps once the dialog is on the screen, and pen helpers.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "device/device.h"
#include "gdi/gdi_state.h"
#include "kernel/resources.h"
#include "shell/shell_state.h"
#include "user/window_manager.h"

// A DLGTEMPLATE (or DLGTEMPLATEEX) written word by word, as a resource
// compiler lays it out.
class TemplateBuilder {
 public:
  TemplateBuilder(DWORD style, short x, short y, short cx, short cy, std::u16string title, bool extended = false,
                  WORD points = 8, std::u16string face = u"MS Sans Serif")
      : extended_(extended) {
    if (extended) {
      w_.push_back(1);
      w_.push_back(0xFFFF);
      dword(0);  // help id
      dword(0);  // extended style
      dword(style);
    } else {
      dword(style);
      dword(0);
    }
    countAt_ = w_.size();
    w_.push_back(0);
    for (short v : {x, y, cx, cy}) w_.push_back(static_cast<WORD>(v));
    w_.push_back(0);  // no menu
    w_.push_back(0);  // standard class
    str(title);
    if (style & DS_SETFONT) {
      w_.push_back(points);
      if (extended) {
        w_.push_back(FW_NORMAL);
        w_.push_back(0);  // italic, charset
      }
      str(face);
    }
  }

  // class: 0x0080 BUTTON, 0x0081 EDIT, 0x0082 STATIC, 0x0085 COMBOBOX.
  TemplateBuilder& item(WORD cls, DWORD style, short x, short y, short cx, short cy, WORD id, std::u16string title,
                        int titleOrdinal = -1) {
    if (w_.size() % 2) w_.push_back(0);
    if (extended_) {
      dword(0);
      dword(0);
      dword(style);
    } else {
      dword(style);
      dword(0);
    }
    for (short v : {x, y, cx, cy}) w_.push_back(static_cast<WORD>(v));
    if (extended_)
      dword(id);
    else
      w_.push_back(id);
    w_.push_back(0xFFFF);
    w_.push_back(cls);
    if (titleOrdinal >= 0) {
      w_.push_back(0xFFFF);
      w_.push_back(static_cast<WORD>(titleOrdinal));
    } else {
      str(title);
    }
    w_.push_back(0);  // no creation data
    ++w_[countAt_];
    return *this;
  }

  LPCDLGTEMPLATEW get() const { return reinterpret_cast<LPCDLGTEMPLATEW>(w_.data()); }
  const std::vector<WORD>& words() const { return w_; }

 private:
  void dword(DWORD d) {
    w_.push_back(LOWORD(d));
    w_.push_back(HIWORD(d));
  }
  void str(const std::u16string& s) {
    for (char16_t c : s) w_.push_back(c);
    w_.push_back(0);
  }
  bool extended_;
  size_t countAt_ = 0;
  std::vector<WORD> w_;
};

constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082, kCombo = 0x0085;

class DialogTest : public ::testing::Test {
 protected:
  static constexpr UINT_PTR kStepTimer = 0x5EED;
  using Handler = std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)>;
  using Step = std::function<void(HWND)>;

  explicit DialogTest(wince::DeviceOptions options = {}) : dev(std::move(options)) {}

  wince::Device dev;
  Handler handler;          // the test's own handling; FALSE when unset
  std::vector<Step> steps;  // run one by one once the dialog is idle on the screen
  std::vector<MSG> commands;  // WM_COMMANDs the dialog received
  std::vector<UINT> received;  // every message, in order
  size_t nextStep = 0;

  void SetUp() override { current() = this; }
  void TearDown() override {
    current() = nullptr;
    EXPECT_EQ(nextStep, steps.size()) << "every step ran";
    EXPECT_EQ(dev.takeProblems(), std::vector<std::string>{});
  }

  static DialogTest*& current() {
    static DialogTest* t = nullptr;
    return t;
  }

  static INT_PTR CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    DialogTest* t = current();
    if (msg == WM_TIMER && wp == kStepTimer) {
      KillTimer(h, kStepTimer);
      if (t->nextStep < t->steps.size()) {
        Step s = t->steps[t->nextStep++];
        s(h);
        t->scheduleStep(h);
      }
      return TRUE;
    }
    t->received.push_back(msg);
    if (msg == WM_COMMAND) t->commands.push_back(MSG{h, msg, wp, lp, 0, {}});
    if (msg == WM_INITDIALOG) t->scheduleStep(h);
    return t->handler ? t->handler(h, msg, wp, lp) : FALSE;
  }

  // The next step runs after everything now queued, the paints included.
  void scheduleStep(HWND h) {
    if (nextStep >= steps.size() || !IsWindow(h)) return;
    SetTimer(h, kStepTimer, 2, nullptr);  // due exactly when the wait below ends
    dev.input().push(wince::InputEvent{wince::InputEvent::Kind::Wait, {}, 2, 0, {}});
  }

  INT_PTR run(const TemplateBuilder& t, HWND owner = nullptr, LPARAM param = 0, HINSTANCE instance = nullptr) {
    return DialogBoxIndirectParamW(instance, t.get(), owner, proc, param);
  }

  void pen(wince::InputEvent::Kind kind, POINT p) { dev.input().push(wince::InputEvent{kind, p, 0, 0, {}}); }
  void tap(POINT p) {
    pen(wince::InputEvent::Kind::PenDown, p);
    pen(wince::InputEvent::Kind::PenUp, p);
  }
  static POINT centre(HWND h) {
    RECT r;
    GetWindowRect(h, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void tap(HWND control) { tap(centre(control)); }
  void type(const std::u16string& text) {
    dev.input().push(wince::InputEvent{wince::InputEvent::Kind::Char, {}, 0, 0, text});
  }
  void key(int vk) { dev.input().push(wince::InputEvent{wince::InputEvent::Kind::Key, {}, 0, vk, {}}); }
  void chooseList(const std::u16string& text) {
    dev.input().push(wince::InputEvent{wince::InputEvent::Kind::ChooseList, {}, 0, 0, text});
  }

  // WM_COMMANDs received with this wParam.
  int commandsWith(WPARAM wp) const {
    int n = 0;
    for (const MSG& m : commands) n += m.wParam == wp;
    return n;
  }

  uint32_t px(int x, int y) { return dev.screen().at(x, y); }
  int live(wince::ObjectKind k) { return dev.accounting().live(k); }
};
