// Message sequences as data: tables of what windows should receive, in order,
// a recorder fed by the test windows' procedures, and a comparison that names
// the first place where what was received departs from a table.
#pragma once
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "fixture.h"

namespace seq {

enum Flags : unsigned {
  kSent = 1u,          // came by SendMessageW or from inside a call that sends it
  kPosted = 2u,        // came through the queue (pump())
  kOptional = 4u,      // may be missing
  kAnyWParam = 8u,
  kAnyLParam = 16u,
  kAnyParams = kAnyWParam | kAnyLParam,
  kDesktop = 32u,      // desktop Win32 sends it, Windows CE does not: required under Win32, absent on CE
  kMark = 64u,         // not a message: a point the test marked between calls (mark())
};

// One row: the message (or the number of a mark), its parameters and flags.
// A row with neither kSent nor kPosted matches either.
struct Expected {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  unsigned flags;
};

struct Received {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool posted;
  bool mark;
};

// Messages desktop Win32 sends for its own purposes (icons, hit testing,
// input methods, accessibility, keyboard cues) that no table here is about.
inline bool isNoise(UINT m) {
  switch (m) {
    case 0x0020:  // WM_SETCURSOR
    case 0x003D:  // WM_GETOBJECT
    case 0x007F:  // WM_GETICON
    case 0x0084:  // WM_NCHITTEST
    case 0x0127:  // WM_CHANGEUISTATE
    case 0x0128:  // WM_UPDATEUISTATE
    case 0x0129:  // WM_QUERYUISTATE
    case 0x0281:  // WM_IME_SETCONTEXT
    case 0x0282:  // WM_IME_NOTIFY
    case 0x031F:  // WM_DWMNCRENDERINGCHANGED
      return true;
  }
  return false;
}

// What the test windows received, in order.
class Recorder {
 public:
  static Recorder& current() {
    static Recorder r;
    return r;
  }
  // Handles what a recorded window's procedure does not answer itself: the
  // test's own handling, DefWindowProcW when it answers nothing.
  std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> answer;
  bool recording = true;

  void clear() { log_.clear(); }
  void mark(UINT n) { log_.push_back(Received{nullptr, n, 0, 0, false, true}); }
  const std::vector<Received>& log() const { return log_; }
  // The messages one window received.
  std::vector<Received> of(HWND h) const {
    std::vector<Received> r;
    for (const Received& m : log_)
      if (m.mark || m.hwnd == h) r.push_back(m);
    return r;
  }

  // The window procedure of the recorded class.
  static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    Recorder& r = current();
    const MSG* d = ApiPlatform::dispatching();
    bool posted = r.depth_ == 0 && d && d->hwnd == h && d->message == msg && d->wParam == wp && d->lParam == lp;
    if (r.recording && !isNoise(msg)) r.log_.push_back(Received{h, msg, wp, lp, posted, false});
    ++r.depth_;
    LRESULT result = 0;
    if (!(r.answer && r.answer(h, msg, wp, lp, &result))) result = DefWindowProcW(h, msg, wp, lp);
    --r.depth_;
    return result;
  }

 private:
  std::vector<Received> log_;
  int depth_ = 0;
};

inline const char* nameOf(UINT m) {
  switch (m) {
#define SEQ_NAME(x) \
  case x:           \
    return #x;
    SEQ_NAME(WM_CREATE) SEQ_NAME(WM_DESTROY) SEQ_NAME(WM_MOVE) SEQ_NAME(WM_SIZE) SEQ_NAME(WM_SETFOCUS)
    SEQ_NAME(WM_KILLFOCUS) SEQ_NAME(WM_ENABLE) SEQ_NAME(WM_SETTEXT) SEQ_NAME(WM_GETTEXT) SEQ_NAME(WM_PAINT)
    SEQ_NAME(WM_CLOSE) SEQ_NAME(WM_ERASEBKGND) SEQ_NAME(WM_SHOWWINDOW) SEQ_NAME(WM_SETFONT) SEQ_NAME(WM_GETFONT)
    SEQ_NAME(WM_INITDIALOG) SEQ_NAME(WM_COMMAND) SEQ_NAME(WM_TIMER) SEQ_NAME(WM_CTLCOLORSTATIC)
    SEQ_NAME(WM_LBUTTONDOWN) SEQ_NAME(WM_LBUTTONUP) SEQ_NAME(WM_USER)
    case 0x0006: return "WM_ACTIVATE";
    case 0x001C: return "WM_ACTIVATEAPP";
    case 0x0024: return "WM_GETMINMAXINFO";
    case 0x0046: return "WM_WINDOWPOSCHANGING";
    case 0x0047: return "WM_WINDOWPOSCHANGED";
    case 0x0081: return "WM_NCCREATE";
    case 0x0082: return "WM_NCDESTROY";
    case 0x0083: return "WM_NCCALCSIZE";
    case 0x0085: return "WM_NCPAINT";
    case 0x0086: return "WM_NCACTIVATE";
    case 0x0210: return "WM_PARENTNOTIFY";
    case 0x0215: return "WM_CAPTURECHANGED";
#undef SEQ_NAME
  }
  return nullptr;
}

inline std::string describe(UINT message, WPARAM wp, LPARAM lp, bool mark, const char* how) {
  char buf[160];
  const char* name = nameOf(message);
  if (mark)
    std::snprintf(buf, sizeof buf, "mark %u", message);
  else if (name)
    std::snprintf(buf, sizeof buf, "%s (%s, wParam 0x%lx, lParam 0x%lx)", name, how, static_cast<unsigned long>(wp),
                  static_cast<unsigned long>(lp));
  else
    std::snprintf(buf, sizeof buf, "message 0x%04x (%s, wParam 0x%lx, lParam 0x%lx)", message, how,
                  static_cast<unsigned long>(wp), static_cast<unsigned long>(lp));
  return buf;
}

inline bool rowMatches(const Expected& e, const Received& r) {
  if (static_cast<bool>(e.flags & kMark) != r.mark || e.message != r.message) return false;
  if (r.mark) return true;
  if ((e.flags & kSent) && !(e.flags & kPosted) && r.posted) return false;
  if ((e.flags & kPosted) && !(e.flags & kSent) && !r.posted) return false;
  if (!(e.flags & kAnyWParam) && e.wParam != r.wParam) return false;
  if (!(e.flags & kAnyLParam) && e.lParam != r.lParam) return false;
  return true;
}

constexpr bool kDesktopPlatform =
#ifdef _WIN32
    true;
#else
    false;
#endif

// Compares what was received with a table, in the manner of an ok_sequence:
// optional rows may be missing, desktop rows count only on desktop Win32, and
// the first divergence is named with its index in the table, the row expected
// and the message found.
inline ::testing::AssertionResult matches(const std::vector<Received>& got, const std::vector<Expected>& table) {
  size_t i = 0, j = 0;
  auto found = [&](size_t k) {
    if (k >= got.size()) return std::string("the end of the sequence");
    const Received& r = got[k];
    return describe(r.message, r.wParam, r.lParam, r.mark, r.posted ? "posted" : "sent");
  };
  auto all = [&] {
    std::string s = "\nreceived:";
    for (size_t k = 0; k < got.size(); ++k) s += "\n  " + std::to_string(k) + ": " + found(k);
    return s;
  };
  while (i < table.size()) {
    const Expected& e = table[i];
    if ((e.flags & kDesktop) && !kDesktopPlatform) {
      ++i;
      continue;
    }
    if (j < got.size() && rowMatches(e, got[j])) {
      ++i;
      ++j;
      continue;
    }
    if (e.flags & kOptional) {
      ++i;
      continue;
    }
    const char* how = (e.flags & kSent) && !(e.flags & kPosted)   ? "sent"
                      : (e.flags & kPosted) && !(e.flags & kSent) ? "posted"
                                                                  : "sent or posted";
    return ::testing::AssertionFailure() << "sequence departs at row " << i << ": expected "
                                         << describe(e.message, e.wParam, e.lParam, e.flags & kMark, how)
                                         << ", found " << found(j) << all();
  }
  if (j < got.size())
    return ::testing::AssertionFailure() << "sequence goes on past the table at message " << j << ": " << found(j)
                                         << all();
  return ::testing::AssertionSuccess();
}

// A window class whose procedure is Recorder::proc, registered while it lives.
class RecordedClass {
 public:
  explicit RecordedClass(LPCWSTR name) : name_(name) {
    const WNDCLASSW wc = windowClass(name, Recorder::proc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    atom_ = RegisterClassW(&wc);
  }
  ~RecordedClass() { UnregisterClassW(name_, instance()); }
  bool ok() const { return atom_ != 0; }
  LPCWSTR name() const { return name_; }
  static HINSTANCE instance() { return programInstance(); }

 private:
  LPCWSTR name_;
  ATOM atom_;
};

// A test of windows of a recorded class: the windows make() made are
// destroyed after the test, and the recorder starts and ends cleared and
// answering nothing of its own.
class RecordedTest : public ::testing::Test {
 protected:
  explicit RecordedTest(LPCWSTR className) : cls(className) {}
  ApiPlatform platform;
  RecordedClass cls;
  Recorder& rec = Recorder::current();
  HWND top = nullptr, a = nullptr, b = nullptr;  // makeTopAndChildren()'s

  void SetUp() override {
    ASSERT_TRUE(cls.ok());
    rec.answer = nullptr;
    rec.recording = true;
    rec.clear();
  }
  void TearDown() override {
    rec.answer = nullptr;
    for (HWND h : made_)
      if (IsWindow(h)) DestroyWindow(h);
    platform.pump();
    rec.clear();
  }
  HWND make(DWORD style, HWND parent = nullptr, int id = 0, LPCWSTR title = TEXT("conf"), RECT r = {10, 20, 110, 70}) {
    HWND h = CreateWindowExW(0, cls.name(), title, style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), RecordedClass::instance(), nullptr);
    if (h) made_.push_back(h);
    return h;
  }
  // A visible popup with two visible children side by side, a (id 1) and
  // b (id 2), painted once; the recorder cleared after.
  void makeTopAndChildren(LPCWSTR title) {
    top = make(WS_POPUP | WS_VISIBLE, nullptr, 0, title, RECT{0, 0, 120, 100});
    a = make(WS_CHILD | WS_VISIBLE, top, 1, TEXT(""), RECT{0, 0, 40, 30});
    b = make(WS_CHILD | WS_VISIBLE, top, 2, TEXT(""), RECT{50, 0, 90, 30});
    ASSERT_TRUE(top && a && b);
    platform.pump();
    rec.clear();
  }

 private:
  std::vector<HWND> made_;
};

}  // namespace seq
