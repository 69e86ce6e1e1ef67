// Short message sequences as data: for each, what the test does to two child
// windows of a visible popup and what they receive, in order.
#include "sequence.h"

namespace {

using namespace seq;

const WCHAR kClass[] = TEXT("CrestuneConfSequences");

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

class WindowSequences : public RecordedTest, public ::testing::WithParamInterface<SequenceCase> {
 protected:
  WindowSequences() : RecordedTest(kClass) {}
  void SetUp() override {
    RecordedTest::SetUp();
    makeTopAndChildren(TEXT("Conf sequences"));
  }
};

TEST_P(WindowSequences, ReceiveWhatTheTableSays) {
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

INSTANTIATE_TEST_SUITE_P(Each, WindowSequences, ::testing::ValuesIn(kSequences),
                         [](const ::testing::TestParamInfo<SequenceCase>& i) { return std::string(i.param.name); });

}  // namespace
