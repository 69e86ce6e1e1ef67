// Messages through the API alone: sent against posted order, the queue
// (PeekMessageW, thread messages, WM_QUIT), the paint cycle
// (InvalidateRect, UpdateWindow, BeginPaint and EndPaint), capture, focus
// and timers, each checked against a table of what the windows receive;
// short sequences (closing, destroying, enabling, moving, focus) as rows.
#include <set>

#include "sequence.h"

namespace {

using namespace seq;

const WCHAR kClass[] = TEXT("CrestuneConfMessages");

class MessageApi : public RecordedTest {
 protected:
  MessageApi() : RecordedTest(kClass) {}
  std::vector<RECT> painted;  // rcPaint of every BeginPaint

  void SetUp() override {
    RecordedTest::SetUp();
    rec.answer = [this](HWND h, UINT m, WPARAM, LPARAM, LRESULT* r) {
      if (m != WM_PAINT) return false;
      PAINTSTRUCT ps;
      if (BeginPaint(h, &ps)) painted.push_back(ps.rcPaint);
      EndPaint(h, &ps);
      *r = 0;
      return true;
    };
    makeTopAndChildren(TEXT("Conf messages"));  // and the first paints
    painted.clear();
  }
};

// Short message sequences as data: for each, what the test does to the two
// children of MessageApi's visible popup and what they receive, in order.
struct Windows {
  ApiPlatform* platform;
  HWND top, a, b;
};

struct SequenceCase {
  const char* name;
  void (*act)(Windows&);
  std::vector<Expected> table;
};

const Expected kPosChanging{0x0046 /*WM_WINDOWPOSCHANGING*/, 0, 0, kSent | kAnyLParam | kOptional};
const Expected kPosChanged{0x0047 /*WM_WINDOWPOSCHANGED*/, 0, 0, kSent | kAnyLParam | kOptional};
// Destroying a visible window; desktop Win32 hides it first (WM_SHOWWINDOW and
// the position messages), which the stand-in does not.
const Expected kDestroyed[] = {{WM_SHOWWINDOW, FALSE, 0, kSent | kOptional},
                               kPosChanging,
                               kPosChanged,
                               {WM_DESTROY, 0, 0, kSent},
                               {0x0082 /*WM_NCDESTROY*/, 0, 0, kSent | kDesktop}};
const Expected kCalcSize{0x0083 /*WM_NCCALCSIZE*/, 0, 0, kSent | kAnyParams | kOptional};
// Desktop Win32 may cancel modes on every call that disables.
const Expected kCancelMode{0x001F /*WM_CANCELMODE*/, 0, 0, kSent | kOptional};

const SequenceCase kSequences[] = {
    {"DefWindowProcDestroysAWindowOnWmClose", [](Windows& w) { SendMessageW(w.a, WM_CLOSE, 0, 0); },
     {{WM_CLOSE, 0, 0, kSent}, kDestroyed[0], kDestroyed[1], kDestroyed[2], kDestroyed[3], kDestroyed[4],
      {1, 0, 0, kMark}}},
    {"APostedMessageDiesWithItsWindow",
     [](Windows& w) {
       PostMessageW(w.a, WM_USER + 5, 0, 0);
       DestroyWindow(w.a);
       w.platform->pump();
     },
     {kDestroyed[0], kDestroyed[1], kDestroyed[2], kDestroyed[3], kDestroyed[4], {1, 0, 0, kMark}}},
    {"ASendInsideAProcedureRunsBeforeItReturns",
     [](Windows& w) {
       Recorder::current().answer = [b = w.b](HWND, UINT m, WPARAM, LPARAM, LRESULT* r) {
         if (m != WM_USER + 1) return false;
         *r = SendMessageW(b, WM_USER + 2, 0, 0);
         Recorder::current().mark(2);
         return true;
       };
       SendMessageW(w.a, WM_USER + 1, 0, 0);
     },
     {{WM_USER + 1, 0, 0, kSent}, {WM_USER + 2, 0, 0, kSent}, {2, 0, 0, kMark}, {1, 0, 0, kMark}}},
    {"EnableWindowSendsWmEnableOnlyOnAChangeAndAnswersTheOldState",
     [](Windows& w) {
       EXPECT_FALSE(EnableWindow(w.a, FALSE)) << "was enabled";
       EXPECT_TRUE(EnableWindow(w.a, FALSE)) << "was disabled";
       EXPECT_TRUE(EnableWindow(w.a, TRUE));
       EXPECT_TRUE(IsWindowEnabled(w.a));
     },
     {kCancelMode, {WM_ENABLE, FALSE, 0, kSent}, kCancelMode, {WM_ENABLE, TRUE, 0, kSent}, {1, 0, 0, kMark}}},
    // WM_MOVE and WM_SIZE in client terms: the place in the parent's client
    // area, the size of the client area.
    {"MovingAndResizingSendsMoveThenSize",
     [](Windows& w) {
       EXPECT_TRUE(MoveWindow(w.a, 5, 6, 30, 40, FALSE));
       RECT r;
       GetClientRect(w.a, &r);
       EXPECT_EQ(r, (RECT{0, 0, 30, 40}));
       POINT p{1, 2}, origin{0, 0};
       ClientToScreen(w.a, &p);
       ClientToScreen(w.top, &origin);
       EXPECT_EQ(p.x, origin.x + 6);
       EXPECT_EQ(p.y, origin.y + 8);
       ScreenToClient(w.a, &p);
       EXPECT_EQ(p.x, 1);
       EXPECT_EQ(p.y, 2);
     },
     {kPosChanging, kCalcSize, kPosChanged, {WM_MOVE, 0, MAKELPARAM(5, 6), kSent},
      {WM_SIZE, 0 /*SIZE_RESTORED*/, MAKELPARAM(30, 40), kSent}, {1, 0, 0, kMark}}},
    {"MovingWithoutResizingSendsOnlyWmMove", [](Windows& w) { MoveWindow(w.a, 3, 4, 40, 30, FALSE); },
     {kPosChanging, kCalcSize, kPosChanged, {WM_MOVE, 0, MAKELPARAM(3, 4), kSent}, {1, 0, 0, kMark}}},
    {"ResizingInPlaceSendsOnlyWmSize", [](Windows& w) { MoveWindow(w.a, 0, 0, 20, 10, FALSE); },
     {kPosChanging, kCalcSize, kPosChanged, {WM_SIZE, 0, MAKELPARAM(20, 10), kSent}, {1, 0, 0, kMark}}},
    {"MovingToWhereItIsSendsNeitherMoveNorSize", [](Windows& w) { MoveWindow(w.a, 0, 0, 40, 30, FALSE); },
     {kPosChanging, kPosChanged, {1, 0, 0, kMark}}},
    {"FocusGivenToNoWindowOnlyTakesIt",
     [](Windows& w) {
       SetFocus(w.a);
       Recorder::current().clear();
       SetFocus(nullptr);
     },
     {{WM_KILLFOCUS, 0, 0, kSent}, {1, 0, 0, kMark}}},
};

class MessageSequences : public MessageApi, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(MessageSequences, ReceiveWhatTheTableSays) {
  const SequenceCase& c = GetParam();
  Windows w{&platform, top, a, b};
  c.act(w);
  rec.mark(1);
  // The children's messages only: the popup's own depend on the platform's activation.
  std::vector<Received> got;
  for (const Received& r : rec.log())
    if (r.mark || (r.hwnd != top && r.message != WM_PAINT && r.message != WM_ERASEBKGND &&
                   r.message != 0x0085 /*WM_NCPAINT*/))
      got.push_back(r);
  EXPECT_TRUE(matches(got, c.table));
}

INSTANTIATE_TEST_SUITE_P(Each, MessageSequences, ::testing::ValuesIn(kSequences),
                         [](const ::testing::TestParamInfo<SequenceCase>& i) { return std::string(i.param.name); });

TEST_F(MessageApi, SentMessagesRunAtOncePostedOnesWhenTheQueueIsRead) {
  PostMessageW(a, WM_USER + 1, 11, 12);
  rec.mark(1);
  SendMessageW(a, WM_USER + 2, 21, 22);
  rec.mark(2);
  PostMessageW(a, WM_USER + 3, 31, 32);
  platform.pump();
  EXPECT_TRUE(matches(rec.of(a), {{1, 0, 0, kMark},
                                  {WM_USER + 2, 21, 22, kSent},
                                  {2, 0, 0, kMark},
                                  {WM_USER + 1, 11, 12, kPosted},
                                  {WM_USER + 3, 31, 32, kPosted}}));
}

TEST_F(MessageApi, SendMessageAnswersWhatTheProcedureReturns) {
  rec.answer = [](HWND, UINT m, WPARAM wp, LPARAM lp, LRESULT* r) {
    if (m != WM_USER + 7) return false;
    *r = static_cast<LRESULT>(wp + lp);
    return true;
  };
  EXPECT_EQ(SendMessageW(b, WM_USER + 7, 40, 2), 42);
  EXPECT_EQ(SendMessageW(nullptr, WM_USER + 7, 40, 2), 0) << "no window, no answer";
}

TEST_F(MessageApi, PeekMessageFiltersByWindowAndRangeAndLeavesWhatItDoesNotRemove) {
  PostMessageW(a, WM_USER + 1, 0, 0);
  PostMessageW(b, WM_USER + 2, 0, 0);
  PostMessageW(nullptr, WM_USER + 3, 5, 6);  // a thread message
  MSG m{};
  EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_USER + 4, WM_USER + 9, PM_REMOVE)) << "nothing in the range";
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_USER + 2, WM_USER + 3, PM_NOREMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 2)) << "the first in the range, a's being before it";
  EXPECT_FALSE(PeekMessageW(&m, a, WM_USER + 2, WM_USER + 3, PM_NOREMOVE)) << "a's is outside the range";
  ASSERT_TRUE(PeekMessageW(&m, b, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 2));
  ASSERT_TRUE(PeekMessageW(&m, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, b);
  EXPECT_FALSE(PeekMessageW(&m, b, 0, 0, PM_REMOVE));
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, a);
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, nullptr);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 3));
  EXPECT_EQ(m.wParam, 5u);
  EXPECT_EQ(m.lParam, 6);
}

// A read for one window, or for a range, takes what is wanted and leaves
// the rest queued; a window's paint is its own, not its sibling's.
TEST_F(MessageApi, AReadForOneWindowTakesItsMessagesAndItsPaintOnly) {
  PostMessageW(a, WM_USER + 1, 0, 0);
  PostMessageW(b, WM_USER + 2, 0, 0);
  MSG m{};
  ASSERT_TRUE(GetMessageW(&m, b, 0, 0));
  EXPECT_EQ(m.hwnd, b);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER + 2));
  ASSERT_TRUE(GetMessageW(&m, nullptr, WM_USER + 1, WM_USER + 1));
  EXPECT_EQ(m.hwnd, a);
  RECT part{2, 3, 12, 13};
  InvalidateRect(a, &part, TRUE);
  EXPECT_FALSE(PeekMessageW(&m, b, 0, 0, PM_REMOVE)) << "a's paint is not b's";
  ASSERT_TRUE(PeekMessageW(&m, a, WM_PAINT, WM_PAINT, PM_NOREMOVE));
  EXPECT_EQ(m.hwnd, a);
  DispatchMessageW(&m);
  EXPECT_FALSE(PeekMessageW(&m, a, WM_PAINT, WM_PAINT, PM_REMOVE)) << "painted, nothing is left";
  EXPECT_EQ(painted, std::vector<RECT>{part});
}

TEST_F(MessageApi, PostQuitMessageQueuesWmQuitWithTheExitCode) {
  PostQuitMessage(3);
  MSG m{};
  bool quit = false;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message != WM_QUIT) continue;
    quit = true;
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_EQ(m.hwnd, nullptr);
  }
  EXPECT_TRUE(quit);
}

// The paint cycle of a visible child, as its procedure sees it.
const Expected kNcPaint{0x0085 /*WM_NCPAINT*/, 0, 0, kSent | kAnyParams | kOptional};
const Expected kErase{WM_ERASEBKGND, 0, 0, kSent | kAnyWParam};
const Expected kPainted{1, 0, 0, kMark};

struct PaintCase {
  const char* name;
  BOOL erase;
  bool update;  // UpdateWindow rather than the queue
  std::vector<Expected> table;
};
const PaintCase kPaintCases[] = {
    {"UpdateWindowWithErase", TRUE, true, {{WM_PAINT, 0, 0, kSent}, kNcPaint, kErase, kPainted}},
    {"UpdateWindowWithoutErase", FALSE, true, {{WM_PAINT, 0, 0, kSent}, kNcPaint, kPainted}},
    {"QueueWithErase", TRUE, false, {{WM_PAINT, 0, 0, kPosted}, kNcPaint, kErase, kPainted}},
};

class PaintCycle : public MessageApi, public ::testing::WithParamInterface<PaintCase> {};

TEST_P(PaintCycle, InvalidAreaIsPaintedOnceAndValidatedByBeginPaint) {
  const PaintCase& c = GetParam();
  RECT part{2, 3, 12, 13};
  EXPECT_TRUE(InvalidateRect(a, &part, c.erase));
  if (c.update)
    EXPECT_TRUE(UpdateWindow(a));
  else
    platform.pump();
  rec.mark(1);
  platform.pump();
  EXPECT_TRUE(UpdateWindow(a)) << "nothing left to paint";
  EXPECT_TRUE(matches(rec.of(a), c.table));
  EXPECT_EQ(painted, std::vector<RECT>{part});
  for (const Received& r : rec.log()) EXPECT_NE(r.hwnd, b) << "the sibling was not touched";
}

INSTANTIATE_TEST_SUITE_P(Ways, PaintCycle, ::testing::ValuesIn(kPaintCases),
                         [](const ::testing::TestParamInfo<PaintCase>& i) { return std::string(i.param.name); });

TEST_F(MessageApi, ValidatedAndHiddenWindowsAreNotPainted) {
  InvalidateRect(a, nullptr, TRUE);
  EXPECT_TRUE(ValidateRect(a, nullptr));
  ShowWindow(b, SW_HIDE);
  rec.clear();
  InvalidateRect(b, nullptr, TRUE);
  platform.pump();
  UpdateWindow(b);
  for (const Received& r : rec.log()) {
    if (r.hwnd != top) {
      EXPECT_NE(r.message, static_cast<UINT>(WM_PAINT));  // the parent repaints where b was
    }
  }
}

TEST_F(MessageApi, CaptureBelongsToOneWindowAtATime) {
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(SetCapture(a), nullptr);
  EXPECT_EQ(GetCapture(), a);
  rec.clear();
  EXPECT_EQ(SetCapture(b), a);
  EXPECT_EQ(GetCapture(), b);
  // The window losing the capture may be told (WM_CAPTURECHANGED, lParam the new holder).
  EXPECT_TRUE(matches(rec.of(a), {{0x0215 /*WM_CAPTURECHANGED*/, 0, 0, kSent | kAnyLParam | kOptional}}));
  EXPECT_TRUE(ReleaseCapture());
  EXPECT_EQ(GetCapture(), nullptr);
  SetCapture(a);
  DestroyWindow(a);
  EXPECT_EQ(GetCapture(), nullptr) << "a destroyed window holds nothing";
}

TEST_F(MessageApi, FocusMovesWithKillFocusBeforeSetFocusEachNamingTheOther) {
  SetFocus(a);
  ASSERT_EQ(GetFocus(), a);
  rec.clear();
  EXPECT_EQ(SetFocus(b), a);
  EXPECT_EQ(GetFocus(), b);
  std::vector<Received> got = rec.log();
  EXPECT_TRUE(matches(got, {{WM_KILLFOCUS, 0, 0, kSent | kAnyWParam}, {WM_SETFOCUS, 0, 0, kSent | kAnyWParam}}));
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].hwnd, a);
  EXPECT_EQ(got[0].wParam, reinterpret_cast<WPARAM>(b));
  EXPECT_EQ(got[1].hwnd, b);
  EXPECT_EQ(got[1].wParam, reinterpret_cast<WPARAM>(a));
  rec.clear();
  EXPECT_EQ(SetFocus(b), b) << "focusing the focused window";
  EXPECT_TRUE(rec.log().empty());
}

// Timers: WM_TIMER after time has passed, timer procedures, thread timers,
// replacing and killing timers, and timers going with their window.
struct Fired {
  HWND hwnd;
  UINT message;
  UINT_PTR id;
};
std::vector<Fired>& firedProcs() {
  static std::vector<Fired> f;
  return f;
}
void CALLBACK onTimer(HWND h, UINT msg, UINT_PTR id, DWORD) { firedProcs().push_back(Fired{h, msg, id}); }

// Timers of a hidden popup of its own.
class TimerApi : public RecordedTest {
 protected:
  TimerApi() : RecordedTest(kClass) {}
  HWND w = nullptr;

  void SetUp() override {
    RecordedTest::SetUp();
    w = make(WS_POPUP, nullptr, 0, TEXT(""), RECT{0, 0, 10, 10});
    ASSERT_NE(w, nullptr);
    rec.clear();
    firedProcs().clear();
  }
  int timersFor(UINT_PTR id) const {
    int n = 0;
    for (const Received& r : rec.of(w)) n += r.message == WM_TIMER && r.wParam == id;
    return n;
  }
};

TEST_F(TimerApi, WmTimerIsPostedWithItsIdOnlyOnceTimeHasPassed) {
  EXPECT_EQ(SetTimer(w, 7, 30, nullptr), 7u);
  platform.pump();
  EXPECT_EQ(timersFor(7), 0) << "not due yet";
  platform.wait(45);
  std::vector<Received> first = rec.of(w);
  if (first.size() > 1) first.resize(1);  // a slow machine may see two
  EXPECT_TRUE(matches(first, {{WM_TIMER, 7, 0, kPosted}}));
  platform.wait(100);
  EXPECT_GE(timersFor(7), 2) << "it goes on firing";
  EXPECT_TRUE(KillTimer(w, 7));
  rec.clear();
  platform.wait(80);
  EXPECT_EQ(timersFor(7), 0);
  EXPECT_FALSE(KillTimer(w, 7)) << "already killed";
}

TEST_F(TimerApi, SettingTheSameIdAgainReplacesTheTimer) {
  SetTimer(w, 3, 20, nullptr);
  EXPECT_EQ(SetTimer(w, 3, 60000, nullptr), 3u);
  platform.wait(60);
  EXPECT_EQ(timersFor(3), 0) << "the first period no longer counts";
  KillTimer(w, 3);
}

TEST_F(TimerApi, ATimerProcedureIsCalledInsteadOfTheWindowProcedure) {
  SetTimer(w, 9, 20, onTimer);
  platform.wait(35);
  KillTimer(w, 9);
  ASSERT_GE(firedProcs().size(), 1u);
  EXPECT_EQ(firedProcs()[0].hwnd, w);
  EXPECT_EQ(firedProcs()[0].message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(firedProcs()[0].id, 9u);
  EXPECT_EQ(timersFor(9), 0);
}

TEST_F(TimerApi, ThreadTimersGetIdsOfTheirOwn) {
  // Without a window the id asked for is ignored and a new one is given.
  UINT_PTR first = SetTimer(nullptr, 0, 20, onTimer);
  UINT_PTR second = SetTimer(nullptr, 0, 20, onTimer);
  EXPECT_NE(first, 0u);
  EXPECT_NE(second, 0u);
  EXPECT_NE(first, second);
  platform.wait(35);
  std::set<UINT_PTR> ids;
  for (const Fired& f : firedProcs()) {
    EXPECT_EQ(f.hwnd, nullptr);
    ids.insert(f.id);
  }
  EXPECT_EQ(ids, (std::set<UINT_PTR>{first, second}));
  EXPECT_TRUE(KillTimer(nullptr, first));
  EXPECT_TRUE(KillTimer(nullptr, second));
  EXPECT_FALSE(KillTimer(nullptr, second));
}

TEST_F(TimerApi, TimersGoWithTheirWindowAndBelongToIt) {
  SetTimer(w, 4, 20, onTimer);
  EXPECT_FALSE(KillTimer(nullptr, 4)) << "another window's timer";
  DestroyWindow(w);
  platform.wait(50);
  EXPECT_TRUE(firedProcs().empty());
  EXPECT_FALSE(KillTimer(w, 4));
}

}  // namespace
