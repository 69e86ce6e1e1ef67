// What the window manager tells a host about its modal loops: work put off
// until every window procedure and loop has returned, a menu or a box that
// goes with the window it belongs to, and records of what was shown that
// keep only the most recent entries (and every one still on the screen);
// and about time: when its next timer falls due, so that a host waiting for
// input can sleep until then.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "conformance/fixture.h"
#include "device.h"
#include "window_manager.h"

namespace {

using wince::InputEvent;

std::function<void()> g_onMessage;  // what the test window does with WM_APP

LRESULT CALLBACK testProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_APP && g_onMessage) {
    g_onMessage();
    return 0;
  }
  return DefWindowProcW(h, msg, wp, lp);
}

class ModalLoops : public ::testing::Test {
 protected:
  wince::Device dev{wince::DeviceOptions{}};
  wince::WindowManager& windows = dev.windows();
  HWND owner = nullptr;

  void SetUp() override {
    const WNDCLASSW wc = windowClass(u"ModalLoopsOwner", testProc);
    ASSERT_TRUE(RegisterClassW(&wc));
    makeOwner();
  }
  void makeOwner() {
    owner = CreateWindowExW(0, u"ModalLoopsOwner", u"owner", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320, nullptr, nullptr,
                            nullptr, nullptr);
    ASSERT_TRUE(owner);
  }
  void TearDown() override {
    g_onMessage = nullptr;
    dev.input().setFeeder(nullptr);
    EXPECT_EQ(std::vector<std::string>{}, dev.takeProblems());
  }
  // The hand: each time a loop waits for input, the next act runs.
  void hand(std::vector<std::function<void()>> acts) {
    auto shared = std::make_shared<std::vector<std::function<void()>>>(std::move(acts));
    auto next = std::make_shared<size_t>(0);
    dev.input().setFeeder([this, shared, next] {
      if (*next >= shared->size()) return false;
      (*shared)[(*next)++]();
      if (dev.input().empty()) dev.input().push(InputEvent{InputEvent::Kind::Wait, {}, 0, 0, {}});
      return true;
    });
  }
  BOOL trackMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 7, u"Seven");
    BOOL r = TrackPopupMenuEx(menu, TPM_RETURNCMD, 10, 10, owner, nullptr);
    DestroyMenu(menu);
    return r;
  }
  int box(const char16_t* text) { return MessageBoxW(owner, text, u"Caption", MB_OK); }
  void answerBox() { dev.input().push(InputEvent{InputEvent::Kind::AnswerBox, {}, 0, IDOK, {}}); }
};

TEST_F(ModalLoops, WorkPutOffRunsOnceEveryProcedureAndLoopHasReturned) {
  std::vector<std::string> done;
  windows.afterCalls([&] { done.push_back("at once"); });
  EXPECT_EQ(std::vector<std::string>{"at once"}, done) << "nothing runs: the work runs at once";

  // Put off from inside a procedure, inside another: after the outer one.
  int depth = 0;
  g_onMessage = [&] {
    if (++depth == 1) {
      windows.afterCalls([&] {
        done.push_back("first");
        // The work runs with nothing else running: what it puts off runs
        // at once, before the work put off after it.
        windows.afterCalls([&] { done.push_back("then"); });
      });
      SendMessageW(owner, WM_APP, 0, 0);
      windows.afterCalls([&] { done.push_back("second"); });
      EXPECT_EQ(1u, done.size()) << "nothing runs while a procedure runs";
    }
  };
  SendMessageW(owner, WM_APP, 0, 0);
  EXPECT_EQ((std::vector<std::string>{"at once", "first", "then", "second"}), done);

  // Put off from inside a menu's loop that a host runs: when the loop ends.
  done.clear();
  hand({[&] {
    windows.afterCalls([&] { done.push_back("after the menu"); });
    EXPECT_TRUE(done.empty());
    dev.input().push(InputEvent{InputEvent::Kind::DismissMenu, {}, 0, 0, {}});
  }});
  EXPECT_EQ(0, trackMenu());
  EXPECT_EQ(std::vector<std::string>{"after the menu"}, done);
}

TEST_F(ModalLoops, AMenuOrABoxEndsWithTheWindowItBelongsTo) {
  struct Case {
    const char* what;
    std::function<INT_PTR()> open;
    std::function<bool()> onScreen;
  };
  const Case cases[] = {
      {"menu", [&] { return INT_PTR{trackMenu()}; }, [&] { return windows.openMenu() != nullptr; }},
      {"box", [&] { return INT_PTR{box(u"text")}; }, [&] { return windows.openMessageBox() != nullptr; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!IsWindow(owner)) makeOwner();
    const int windowsBefore = dev.accounting().live(wince::ObjectKind::Window);
    bool shown = false;
    // The hand's only act closes the owner: the loop must notice that it
    // ended, not report the input as run out with the popup left open.
    hand({[&] {
      shown = c.onScreen();
      DestroyWindow(owner);
    }});
    EXPECT_EQ(0, c.open());
    EXPECT_TRUE(shown);
    EXPECT_FALSE(c.onScreen());
    EXPECT_EQ(windowsBefore - 1, dev.accounting().live(wince::ObjectKind::Window)) << "the popup went too";
  }
}

TEST_F(ModalLoops, RecordsKeepTheMostRecentEntriesAndEveryBoxStillOpen) {
  const size_t keep = wince::WindowManager::kHistoryKept;
  const auto& boxes = windows.messageBoxes();
  const auto& menus = windows.menusShown();
  for (size_t i = 0; i < keep + 10; ++i) {
    answerBox();
    box(std::u16string(u"box " + wince::widen(std::to_string(i))).c_str());
    dev.input().push(InputEvent{InputEvent::Kind::DismissMenu, {}, 0, 0, {}});
    trackMenu();
  }
  EXPECT_EQ(keep + 10, boxes.size()) << "the count goes on";
  EXPECT_EQ(10u, boxes.first());
  EXPECT_FALSE(boxes.kept(9));
  EXPECT_EQ(u"box 10", boxes[10].text);
  EXPECT_EQ(u"box " + wince::widen(std::to_string(keep + 9)), boxes.back().text);
  EXPECT_EQ(keep + 10, menus.size());
  EXPECT_EQ(10u, menus.first());

  // A box waiting for its answer stays while more than the record keeps
  // come and go over it, and gets its answer.
  const size_t waiting = boxes.size();
  std::vector<std::function<void()>> acts;
  for (size_t i = 0; i < keep + 5; ++i)
    acts.push_back([&] {
      answerBox();
      box(u"over it");
    });
  acts.push_back([&] { answerBox(); });
  hand(acts);
  EXPECT_EQ(IDOK, box(u"waiting"));
  ASSERT_TRUE(boxes.kept(waiting));
  EXPECT_EQ(u"waiting", boxes[waiting].text);
  EXPECT_EQ(IDOK, boxes[waiting].answer);
  // Answered, it goes with the next box shown.
  dev.input().setFeeder(nullptr);
  answerBox();
  box(u"next");
  EXPECT_FALSE(boxes.kept(waiting));
  EXPECT_EQ(keep, boxes.size() - boxes.first());
}

TEST_F(ModalLoops, TheNextTimerDueIsTheEarliestAndMovesOnAsTimersFireOrGo) {
  EXPECT_EQ(windows.nextTimerDue(), UINT64_MAX) << "no timer runs on a fresh device";

  UINT_PTR slow = SetTimer(nullptr, 5, 2000, nullptr);
  UINT_PTR fast = SetTimer(nullptr, 7, 300, nullptr);
  ASSERT_NE(slow, 0u);
  ASSERT_NE(fast, 0u);
  EXPECT_EQ(windows.nextTimerDue(), 300u);

  // After the first fires, its next period counts from then.
  windows.wait(350);
  EXPECT_EQ(windows.nextTimerDue(), 600u);
  EXPECT_TRUE(KillTimer(nullptr, fast));
  EXPECT_EQ(windows.nextTimerDue(), 2000u);
  EXPECT_TRUE(KillTimer(nullptr, slow));
  EXPECT_EQ(windows.nextTimerDue(), UINT64_MAX);
}

// A read for one window's timer takes the person's input only until the
// timer falls due: the rest of the wait and the pen after it stay for later.
TEST_F(ModalLoops, AFilteredReadTakesInputOnlyUntilWhatItWantsIsReady) {
  ASSERT_NE(SetTimer(owner, 3, 100, nullptr), 0u);
  dev.input().push(InputEvent{InputEvent::Kind::Wait, {}, 500});
  dev.input().push(InputEvent{InputEvent::Kind::PenDown, {10, 10}});
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, owner, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(GetTickCount(), 100u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "the pen is not down yet";
  EXPECT_FALSE(dev.input().empty());
  KillTimer(owner, 3);
}

}  // namespace
