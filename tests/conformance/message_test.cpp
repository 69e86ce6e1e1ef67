// Messages through the API alone: sent against posted order, the queue
// (PeekMessageW, thread messages, WM_QUIT), the paint cycle
// (InvalidateRect, UpdateWindow, BeginPaint and EndPaint), capture and focus,
// each checked against a table of what the windows receive.
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
const std::vector<Expected> kUpdateWithErase = {
    {WM_PAINT, 0, 0, kSent},
    {0x0085 /*WM_NCPAINT*/, 0, 0, kSent | kAnyParams | kOptional},
    {WM_ERASEBKGND, 0, 0, kSent | kAnyWParam},
    {1, 0, 0, kMark},
};
const std::vector<Expected> kUpdateWithoutErase = {
    {WM_PAINT, 0, 0, kSent},
    {0x0085 /*WM_NCPAINT*/, 0, 0, kSent | kAnyParams | kOptional},
    {1, 0, 0, kMark},
};
const std::vector<Expected> kPaintFromTheQueue = {
    {WM_PAINT, 0, 0, kPosted},
    {0x0085 /*WM_NCPAINT*/, 0, 0, kSent | kAnyParams | kOptional},
    {WM_ERASEBKGND, 0, 0, kSent | kAnyWParam},
    {1, 0, 0, kMark},
};

struct PaintCase {
  const char* name;
  BOOL erase;
  bool update;  // UpdateWindow rather than the queue
  const std::vector<Expected>* table;
};
const PaintCase kPaintCases[] = {
    {"UpdateWindowWithErase", TRUE, true, &kUpdateWithErase},
    {"UpdateWindowWithoutErase", FALSE, true, &kUpdateWithoutErase},
    {"QueueWithErase", TRUE, false, &kPaintFromTheQueue},
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
  EXPECT_TRUE(matches(rec.of(a), *c.table));
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

}  // namespace
