// Timers through the API alone: WM_TIMER after time has passed, timer
// procedures, thread timers, replacing and killing timers, and timers going
// with their window.
#include <set>

#include "sequence.h"

namespace {

using namespace seq;

const WCHAR kClass[] = TEXT("CrestuneConfTimers");

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
