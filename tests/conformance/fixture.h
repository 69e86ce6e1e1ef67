// Shared set-up of the platform tests written against nothing but the
// platform API, so that the same sources run on the host (against a fresh
// stand-in device) and as a Win32 program (against the real system; under
// Wine here). Below the fixtures only <windows.h> is used.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#ifndef _WIN32
#include "device.h"
#endif

using WString = std::basic_string<WCHAR>;

// True when the Win32 build runs under Wine, which in a few places answers
// otherwise than Windows documents; those places skip with the reason.
inline bool underWine() {
#ifdef _WIN32
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

// The instance a test program registers its window classes under: the
// program's module on Win32; none on the stand-in, whose tests are no module.
inline HINSTANCE programInstance() {
#ifdef _WIN32
  return GetModuleHandleW(nullptr);
#else
  return nullptr;
#endif
}

// A library loaded as a program loads one (beside the program on Win32,
// from the build's library folder on the stand-in) and freed when the test
// is done with it. Declare it after the ApiPlatform it is loaded on.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(LPCWSTR name) : module_(LoadLibraryW(name)), error_(module_ ? 0 : GetLastError()) {}
  ~LoadedLibrary() {
    if (module_) {
      EXPECT_TRUE(FreeLibrary(module_));
    }
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  HMODULE get() const { return module_; }
  DWORD error() const { return error_; }  // LoadLibraryW's, when it failed

 private:
  HMODULE module_;
  DWORD error_;
};

// A window class of the program's, to register.
inline WNDCLASSW windowClass(LPCWSTR name, WNDPROC proc, HBRUSH background = nullptr,
                             HINSTANCE instance = programInstance()) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hbrBackground = background;
  wc.lpszClassName = name;
  wc.hInstance = instance;
  return wc;
}

// The platform under the test: on the host a stand-in device of its own,
// on Win32 the system itself. Time on the stand-in passes only when asked
// to; on Win32 it passes anyway.
class ApiPlatform {
 public:
#ifndef _WIN32
  explicit ApiPlatform(wince::DeviceOptions options = {}) : device(withLibraries(std::move(options))) {}
  wince::Device device;
  void letTimePass(DWORD ms) {
    device.input().push(wince::InputEvent{wince::InputEvent::Kind::Wait, {}, ms, 0, {}});
  }
  std::vector<std::string> problems() { return device.takeProblems(); }
  // The device's built-in libraries are the build's (CRESTUNE_LIB_DIR, as
  // CTest sets it), as a Win32 program finds the libraries beside it.
  static wince::DeviceOptions withLibraries(wince::DeviceOptions options) {
    if (const char* folder = std::getenv("CRESTUNE_LIB_DIR"); folder && options.romFolder.empty())
      options.romFolder = folder;
    return options;
  }
  // Lets `ms` of time pass, handling every message on the way; then
  // handles what is left.
  void wait(DWORD ms) {
    letTimePass(ms);
    pump();
  }
#else
  void letTimePass(DWORD) {}
  std::vector<std::string> problems() { return {}; }
  void wait(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
      pump();
      Sleep(1);
    } while (static_cast<LONG>(GetTickCount() - end) < 0);
    pump();
  }
#endif
  // The message being dispatched by pump(), so that a window procedure can
  // tell a posted message from a sent one; null outside pump().
  static const MSG*& dispatching() {
    static const MSG* m = nullptr;
    return m;
  }
  // Handles every message ready now (posted ones, paints, due timers), as a
  // program's PeekMessageW loop does.
  static void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) continue;
      TranslateMessage(&m);
      const MSG* outer = dispatching();
      dispatching() = &m;
      DispatchMessageW(&m);
      dispatching() = outer;
    }
  }
};

// A test on a platform of its own (on the host a fresh stand-in device),
// there from before SetUp to after TearDown.
class PlatformTest : public ::testing::Test {
 protected:
  ApiPlatform platform;
};

// A test of a library loaded as a program loads one, on a platform of its own.
class LibraryTest : public PlatformTest {
 protected:
  explicit LibraryTest(LPCWSTR name) : library(name) {}
  LoadedLibrary library;
  const HMODULE module = library.get();

  void SetUp() override { ASSERT_NE(nullptr, module) << "error " << library.error(); }
  // A resource's bytes and their size, or null.
  const BYTE* data(LPCWSTR name, LPCWSTR type, DWORD* size) {
    HRSRC found = FindResourceW(module, name, type);
    if (!found) return nullptr;
    *size = SizeofResource(module, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  }
  // Resources the library does not hold, each with the error FindResourceW leaves.
  struct Missing {
    LPCWSTR name, type;
    DWORD error;
  };
  void expectMissing(std::initializer_list<Missing> rows) {
    for (const Missing& m : rows) {
      SetLastError(0);
      EXPECT_EQ(nullptr, FindResourceW(module, m.name, m.type));
      EXPECT_EQ(m.error, GetLastError());
    }
  }
};

// A DLGTEMPLATE (or DLGTEMPLATEEX) written word by word, as a resource
// compiler lays it out.
class DialogTemplate {
 public:
  // A dialog class of the template's own when `cls` is given; the standard one otherwise.
  DialogTemplate(DWORD style, short x, short y, short cx, short cy, const WString& title, bool extended = false,
                 WORD points = 8, const WString& face = TEXT("MS Sans Serif"), const WString& cls = WString())
      : extended_(extended) {
    if (extended) {
      w_.push_back(1);
      w_.push_back(0xFFFF);
    }
    styles(style);
    countAt_ = w_.size();
    w_.push_back(0);
    for (short v : {x, y, cx, cy}) w_.push_back(static_cast<WORD>(v));
    w_.push_back(0);  // no menu
    if (cls.empty())
      w_.push_back(0);  // standard class
    else
      str(cls);
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

  // A control of a predefined class: 0x0080 BUTTON, 0x0081 EDIT,
  // 0x0082 STATIC, 0x0085 COMBOBOX. A title ordinal of 0 or more names a
  // resource instead of a text (an SS_ICON static's icon).
  DialogTemplate& item(WORD cls, DWORD style, short x, short y, short cx, short cy, WORD id, const WString& title,
                       int titleOrdinal = -1) {
    start(style, x, y, cx, cy, id);
    w_.push_back(0xFFFF);
    w_.push_back(cls);
    if (titleOrdinal >= 0) {
      w_.push_back(0xFFFF);
      w_.push_back(static_cast<WORD>(titleOrdinal));
    } else {
      str(title);
    }
    return finish();
  }
  // A control of a class named in full.
  DialogTemplate& item(const WString& cls, DWORD style, short x, short y, short cx, short cy, WORD id,
                       const WString& title) {
    start(style, x, y, cx, cy, id);
    str(cls);
    str(title);
    return finish();
  }

  LPCDLGTEMPLATEW get() const { return reinterpret_cast<LPCDLGTEMPLATEW>(w_.data()); }

 private:
  void start(DWORD style, short x, short y, short cx, short cy, WORD id) {
    if (w_.size() % 2) w_.push_back(0);
    styles(style);
    for (short v : {x, y, cx, cy}) w_.push_back(static_cast<WORD>(v));
    if (extended_)
      dword(id);
    else
      w_.push_back(id);
  }
  DialogTemplate& finish() {
    w_.push_back(0);  // no creation data
    ++w_[countAt_];
    return *this;
  }
  // The style and the extended style (none), with an extended template's
  // help id (none) before them.
  void styles(DWORD style) {
    if (extended_) {
      dword(0);
      dword(0);
      dword(style);
    } else {
      dword(style);
      dword(0);
    }
  }
  void dword(DWORD d) {
    w_.push_back(LOWORD(d));
    w_.push_back(HIWORD(d));
  }
  void str(const WString& s) {
    for (WCHAR c : s) w_.push_back(static_cast<WORD>(c));
    w_.push_back(0);
  }
  bool extended_;
  size_t countAt_ = 0;
  std::vector<WORD> w_;
};

constexpr WORD kButtonClass = 0x0080, kEditClass = 0x0081, kStaticClass = 0x0082, kComboClass = 0x0085;
// The style every control of the test dialogs starts from.
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// A modal dialog from a template in memory whose procedure logs what it
// receives and, once the dialog is up, runs the test's steps one by one
// from a timer, each after everything the one before queued (the paints
// included).
class ApiDialogTest : public ::testing::Test {
 protected:
  static constexpr UINT_PTR kStepTimer = 0x5EED;
  using Handler = std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)>;
  using Step = std::function<void(HWND)>;

  ApiDialogTest() = default;
#ifndef _WIN32
  explicit ApiDialogTest(wince::DeviceOptions options) : platform(std::move(options)) {}
#endif

  ApiPlatform platform;
  Handler handler;             // the test's own handling; FALSE when unset
  std::vector<Step> steps;     // run in order once the dialog is idle
  std::vector<MSG> commands;   // the WM_COMMANDs the dialog received
  size_t nextStep = 0;

  void SetUp() override { current() = this; }
  void TearDown() override {
    current() = nullptr;
    EXPECT_EQ(nextStep, steps.size()) << "every step ran";
    EXPECT_EQ(platform.problems(), std::vector<std::string>{});
  }

  static ApiDialogTest*& current() {
    static ApiDialogTest* t = nullptr;
    return t;
  }

  static INT_PTR CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    ApiDialogTest* t = current();
    if (msg == WM_TIMER && wp == kStepTimer) {
      KillTimer(h, kStepTimer);
      if (t->nextStep < t->steps.size()) {
        Step s = t->steps[t->nextStep++];
        s(h);
        t->scheduleStep(h);
      }
      return TRUE;
    }
    if (msg == WM_COMMAND) t->commands.push_back(MSG{h, msg, wp, lp, 0, {}});
    if (msg == WM_INITDIALOG) t->scheduleStep(h);
    return t->handler ? t->handler(h, msg, wp, lp) : FALSE;
  }

  void scheduleStep(HWND h) {
    if (nextStep >= steps.size() || !IsWindow(h)) return;
    SetTimer(h, kStepTimer, 10, nullptr);  // due exactly when the wait below ends
    platform.letTimePass(10);
  }

  INT_PTR run(const DialogTemplate& t, HWND owner = nullptr, LPARAM param = 0, HINSTANCE instance = programInstance()) {
    return DialogBoxIndirectParamW(instance, t.get(), owner, proc, param);
  }

  // WM_COMMANDs received with this wParam.
  int commandsWith(WPARAM wp) const {
    int n = 0;
    for (const MSG& m : commands) n += m.wParam == wp;
    return n;
  }
  // A key pressed on the focused control, through the dialog's own loop.
  static void pressKey(HWND dialog, UINT vk) {
    HWND target = GetFocus() ? GetFocus() : dialog;
    PostMessageW(target, WM_KEYDOWN, vk, 1);
    PostMessageW(target, WM_KEYUP, vk, 0xC0000001);
  }
};

// Rectangles compared and shown whole in a test's expectations.
inline bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const RECT& r, std::ostream* os) {
  *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

// Every stock object the platform has, by its GetStockObject number.
constexpr int kStockObjects[] = {WHITE_BRUSH, LTGRAY_BRUSH, GRAY_BRUSH, DKGRAY_BRUSH, BLACK_BRUSH, NULL_BRUSH,
                                 WHITE_PEN,   BLACK_PEN,    NULL_PEN,   SYSTEM_FONT,  DEFAULT_GUI_FONT};

// The description of a Tahoma font.
inline LOGFONTW tahoma(LONG height, LONG weight = FW_NORMAL, BYTE underline = 0) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfUnderline = underline;
  const WCHAR face[] = TEXT("Tahoma");
  std::memcpy(lf.lfFaceName, face, sizeof face);
  return lf;
}

// A Tahoma font, as tahoma() describes it.
inline HFONT tahomaFont(LONG height, LONG weight = FW_NORMAL, BYTE underline = 0) {
  LOGFONTW lf = tahoma(height, weight, underline);
  return CreateFontIndirectW(&lf);
}

// A font's metrics on `dc`, and the extent of `text` in it when asked for.
inline TEXTMETRICW metricsOf(HDC dc, HFONT font, const WCHAR* text = nullptr, SIZE* extent = nullptr) {
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  if (text) GetTextExtentPoint32W(dc, text, static_cast<int>(std::char_traits<WCHAR>::length(text)), extent);
  SelectObject(dc, old);
  return tm;
}

inline WString textOf(HWND h) {
  WCHAR buf[256];
  int n = GetWindowTextW(h, buf, 256);
  return WString(buf, n > 0 ? n : 0);
}
