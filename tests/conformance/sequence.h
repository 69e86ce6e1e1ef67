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
    if (!isNoise(msg)) r.log_.push_back(Received{h, msg, wp, lp, posted, false});
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

// A message's name, or its number.
inline std::string nameOf(UINT m) {
  switch (m) {
#define SEQ_CASE(number, name) \
  case number:                 \
    return name;
#define SEQ_NAME(x) SEQ_CASE(x, #x)
    SEQ_NAME(WM_CREATE) SEQ_NAME(WM_DESTROY) SEQ_NAME(WM_MOVE) SEQ_NAME(WM_SIZE) SEQ_NAME(WM_SETFOCUS)
    SEQ_NAME(WM_KILLFOCUS) SEQ_NAME(WM_ENABLE) SEQ_NAME(WM_SETTEXT) SEQ_NAME(WM_GETTEXT) SEQ_NAME(WM_PAINT)
    SEQ_NAME(WM_CLOSE) SEQ_NAME(WM_ERASEBKGND) SEQ_NAME(WM_SHOWWINDOW) SEQ_NAME(WM_SETFONT) SEQ_NAME(WM_GETFONT)
    SEQ_NAME(WM_INITDIALOG) SEQ_NAME(WM_COMMAND) SEQ_NAME(WM_TIMER) SEQ_NAME(WM_CTLCOLORSTATIC)
    SEQ_NAME(WM_LBUTTONDOWN) SEQ_NAME(WM_LBUTTONUP) SEQ_NAME(WM_USER)
    // Messages the stand-in's headers do not define.
    SEQ_CASE(0x0006, "WM_ACTIVATE") SEQ_CASE(0x001C, "WM_ACTIVATEAPP") SEQ_CASE(0x0024, "WM_GETMINMAXINFO")
    SEQ_CASE(0x0046, "WM_WINDOWPOSCHANGING") SEQ_CASE(0x0047, "WM_WINDOWPOSCHANGED") SEQ_CASE(0x0081, "WM_NCCREATE")
    SEQ_CASE(0x0082, "WM_NCDESTROY") SEQ_CASE(0x0083, "WM_NCCALCSIZE") SEQ_CASE(0x0085, "WM_NCPAINT")
    SEQ_CASE(0x0086, "WM_NCACTIVATE") SEQ_CASE(0x0210, "WM_PARENTNOTIFY") SEQ_CASE(0x0215, "WM_CAPTURECHANGED")
#undef SEQ_NAME
#undef SEQ_CASE
  }
  char number[16];
  std::snprintf(number, sizeof number, "message 0x%04x", m);
  return number;
}

inline std::string describe(UINT message, WPARAM wp, LPARAM lp, bool mark, const char* how) {
  if (mark) return "mark " + std::to_string(message);
  char buf[160];
  std::snprintf(buf, sizeof buf, "%s (%s, wParam 0x%lx, lParam 0x%lx)", nameOf(message).c_str(), how,
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

// Compares what was received with a table, in the manner of an ok_sequence:
// optional rows may be missing, desktop rows count only on desktop Win32, and
// the first divergence is named with its index in the table, the row expected
// and the message found.
inline ::testing::AssertionResult matches(const std::vector<Received>& got, const std::vector<Expected>& table) {
  size_t j = 0;  // the next message received
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
  for (size_t i = 0; i < table.size(); ++i) {
    const Expected& e = table[i];
#ifndef _WIN32
    if (e.flags & kDesktop) continue;  // sent by desktop Win32 alone
#endif
    if (j < got.size() && rowMatches(e, got[j])) {
      ++j;
      continue;
    }
    if (e.flags & kOptional) continue;
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

// A test of windows of a class whose procedure is Recorder::proc,
// registered while the test lives: the windows make() made are destroyed
// after the test, and the recorder starts and ends cleared and answering
// nothing of its own.
class RecordedTest : public PlatformTest {
 protected:
  explicit RecordedTest(LPCWSTR className) : className_(className) {}
  Recorder& rec = Recorder::current();
  HWND top = nullptr, a = nullptr, b = nullptr;  // makeTopAndChildren()'s

  void SetUp() override {
    const WNDCLASSW wc = windowClass(className_, Recorder::proc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ASSERT_NE(RegisterClassW(&wc), 0);
    rec.answer = nullptr;
    rec.clear();
  }
  void TearDown() override {
    rec.answer = nullptr;
    for (HWND h : made_)
      if (IsWindow(h)) DestroyWindow(h);
    platform.pump();
    rec.clear();
    UnregisterClassW(className_, programInstance());
  }
  HWND make(DWORD style, HWND parent = nullptr, int id = 0, LPCWSTR title = TEXT("conf"), RECT r = {10, 20, 110, 70}) {
    HWND h = CreateWindowExW(0, className_, title, style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), programInstance(), nullptr);
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
  LPCWSTR className_;
  std::vector<HWND> made_;
};

}  // namespace seq
