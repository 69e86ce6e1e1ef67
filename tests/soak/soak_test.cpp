// A long session on one device: a hundred thousand taps on the item's
// buttons, ten thousand context menus, a thousand options pages and two
// hundred installs and removals. Afterwards every object the device counts
// balances and the process's memory has not grown since the first tenth.
#include <malloc.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "installer.h"
#include "scenarios/fixture.h"

namespace crestune::testing {
namespace {

using Kind = wince::InputEvent::Kind;

// The whole soak runs in ten rounds alike; the first is its first tenth.
constexpr int kRounds = 10;
constexpr int kTapsPerRound = 10000;
constexpr int kMenusPerRound = 1000;
constexpr int kPagesPerRound = 100;
constexpr int kInstallsPerRound = 20;

constexpr int kLarge = 1009, kStandard = 1006;

// Heap in use (bytes malloc has handed out and not had back) and the
// resident set.
struct Memory {
  size_t heap = 0;
  size_t resident = 0;
};

Memory memoryNow() {
  Memory m;
  m.heap = mallinfo2().uordblks;
  std::ifstream statm("/proc/self/statm");
  size_t size = 0, pages = 0;
  if (statm >> size >> pages) m.resident = pages * static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return m;
}

// The menu answers the soak gives in turn: entries that send the player a
// command and leave it in the background, and no choice at all.
const std::array<const char16_t*, 6> kMenuAnswers = {u"Mute", u"Volume Up", u"Volume Down", u"Repeat", u"Shuffle",
                                                     nullptr};

// The host build: the heap is the product's and the stand-in's to keep
// flat. On the device build the emulator's translator (Unicorn 2.0.1) keeps
// a few hundred bytes of each options page for itself (docs/performance.md).
class Soak : public StrictDeviceTest {
 public:
  Soak() : StrictDeviceTest(Build::Native) {}
 protected:
  Installer installer;
  size_t commandsExpected = 0;  // what the player should have received so far

  // Every kind of object the device counts, and the DCs and GDI objects apart.
  std::string objects() {
    return device().accounting().report() + " gdi=" + std::to_string(device().liveGdiObjects()) +
           " dcs=" + std::to_string(device().liveDcs());
  }

  void install() {
    InstallResult result;
    whileOpen([&] { return (result = installer.install()), INT_PTR{0}; }, {[this] { queueTapOnControl(IDOK); }});
    ASSERT_TRUE(result.completed) << result.message;
  }
  void uninstall() {
    InstallResult result;
    whileOpen([&] { return (result = installer.uninstall()), INT_PTR{0}; }, {});
    ASSERT_TRUE(result.completed) << result.message;
  }
  // An options page opened from the Today settings, a size chosen and "ok".
  void confirmOptions(IconSize size) {
    INT_PTR result = openOptions({[this, size] {
      queueTapOnControl(size == IconSize::Large ? kLarge : kStandard);
      queueTapOnDone();
    }});
    ASSERT_EQ(IDOK, result);
  }
  void tapButtons(int count, IconSize size) {
    std::array<POINT, 5> at;
    for (int i = 0; i < 5; ++i) at[static_cast<size_t>(i)] = centre(i, size);
    for (int i = 0; i < count; ++i) {
      const POINT p = at[static_cast<size_t>(i % 5)];
      tap(p.x, p.y);
    }
    commandsExpected += static_cast<size_t>(count);
  }
  void useMenus(int count) {
    for (int i = 0; i < count; ++i) {
      const char16_t* answer = kMenuAnswers[static_cast<size_t>(i) % kMenuAnswers.size()];
      if (answer)
        queueMenuAnswer(Kind::ChooseMenu, answer), ++commandsExpected;
      else
        queueMenuAnswer(Kind::DismissMenu);
      windows().runUntilIdle();
    }
  }
  // One tenth of the soak: the package installed, its options confirmed,
  // its buttons and menus used, then removed and installed again and again.
  void round(int n) {
    const IconSize size = n % 2 ? IconSize::Standard : IconSize::Large;
    ASSERT_NO_FATAL_FAILURE(install());
    ASSERT_TRUE(item()) << "installed, the item shows";
    for (int i = 0; i < kPagesPerRound; ++i) ASSERT_NO_FATAL_FAILURE(confirmOptions(size));
    nextRefresh();
    tapButtons(kTapsPerRound, size);
    useMenus(kMenusPerRound);
    ASSERT_NO_FATAL_FAILURE(uninstall());
    for (int i = 1; i < kInstallsPerRound; ++i) {
      ASSERT_NO_FATAL_FAILURE(install());
      ASSERT_NO_FATAL_FAILURE(uninstall());
    }
    ASSERT_FALSE(item()) << "removed, the item is gone";
    ASSERT_EQ(commandsExpected, session.player().transcript().size()) << "every tap and menu reached the player";
    for (const std::string& p : device().takeProblems()) ADD_FAILURE() << "round " << n << ": " << p;
  }
};

// Memory after the first tenth against after the whole. The slack allows
// for what settles once and does not repeat (the records of the last 256
// dialogs fill only in the third round, malloc's own bookkeeping); it is
// under a byte for each tap and a few bytes a menu, where keeping what
// every tap and menu left behind grew the heap by about 55 bytes a tap and
// 700 bytes a menu, some 9 MB over the nine tenths.
constexpr size_t kHeapSlack = 64 * 1024;

TEST_F(Soak, TapsMenusPagesAndInstallsLeaveObjectsBalancedAndMemoryFlat) {
  session.startToday();
  session.player().start();
  windows().runUntilIdle();
  session.player().takeNew();
  const std::string atStart = objects();
  const auto started = std::chrono::steady_clock::now();

  ASSERT_NO_FATAL_FAILURE(round(0));
  const std::string afterTenth = objects();
  const Memory tenth = memoryNow();
  for (int n = 1; n < kRounds; ++n) ASSERT_NO_FATAL_FAILURE(round(n));
  const Memory whole = memoryNow();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  EXPECT_EQ(atStart, afterTenth) << "after the first tenth";
  EXPECT_EQ(atStart, objects()) << "at the end";
  EXPECT_EQ(0, device().liveDcs());
  EXPECT_LE(whole.heap, tenth.heap + kHeapSlack) << "heap after the first tenth " << tenth.heap << ", after all "
                                                 << whole.heap;

  const auto& player = session.player().transcript();
  std::printf("soak: %d taps, %d menus, %d options pages, %d installs and removals in %.1f s\n",
              kRounds * kTapsPerRound, kRounds * kMenusPerRound, kRounds * kPagesPerRound,
              kRounds * kInstallsPerRound, seconds);
  std::printf("soak: player received %zu commands (keeps the last %zu); menus shown %zu, dialogs %zu\n", player.size(),
              player.keep(), windows().menusShown().size(), windows().dialogsShown().size());
  std::printf("soak: heap in use %zu bytes after the first tenth, %zu after all (%+lld); resident %zu kB, %zu kB\n",
              tenth.heap, whole.heap, static_cast<long long>(whole.heap) - static_cast<long long>(tenth.heap),
              tenth.resident / 1024, whole.resident / 1024);
  RecordProperty("seconds", std::to_string(seconds));
  RecordProperty("heap_after_tenth", std::to_string(tenth.heap));
  RecordProperty("heap_after_all", std::to_string(whole.heap));
}

}  // namespace
}  // namespace crestune::testing
