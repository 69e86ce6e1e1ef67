// The operations of `crestune bench`, each driven as a person or a script
// drives it (the input queue, the Today shell, the installer), made ready on
// a device outside the timed part.
#include "bench_ops.h"

#include <windows.h>

#include <filesystem>
#include <optional>
#include <sstream>
#include <utility>

#include "demo.h"
#include "installer.h"
#include "interactive.h"
#include "product_names.h"
#include "registry_store.h"
#include "screenshot.h"
#include "script.h"
#include "session.h"
#include "shell_state.h"
#include "window_manager.h"

namespace crestune::bench {

namespace fs = std::filesystem;
using wince::InputEvent;

struct Devices::Impl {
  enum class Kind { None, Item, Bare } kind = Kind::None;
  Build build;
  std::optional<Session> session;
};

Devices::Devices(Build build) : impl_(std::make_unique<Impl>()) { impl_->build = build; }
Build Devices::build() const { return impl_->build; }
Devices::~Devices() { end(); }

void Devices::end() {
  impl_->session.reset();
  impl_->kind = Impl::Kind::None;
}

Session& Devices::item(bool playerRunning) {
  if (impl_->kind != Impl::Kind::Item) {
    end();
    Session& s = impl_->session.emplace(std::filesystem::path(), impl_->build);
    registerTodayItem(s.device().registry(), itemName(), "crestitem.dll");
    s.startToday();
    impl_->kind = Impl::Kind::Item;
  }
  Session& s = *impl_->session;
  if (s.player().running() != playerRunning) {
    if (playerRunning)
      s.player().start();
    else
      s.player().close();
    // The item sees the player come or go at the Today screen's next
    // refresh query, and paints its other view.
    s.today()->refresh();
    s.device().windows().runUntilIdle();
  }
  return s;
}

Session& Devices::bare() {
  if (impl_->kind != Impl::Kind::Bare) {
    end();
    impl_->session.emplace(std::filesystem::path(), impl_->build).startToday();
    impl_->kind = Impl::Kind::Bare;
  }
  return *impl_->session;
}

namespace {

void pen(Session& s, InputEvent::Kind kind, POINT p) { s.device().input().push(InputEvent{kind, p, 0, 0, {}}); }

void tapAt(Session& s, POINT p) {
  pen(s, InputEvent::Kind::PenDown, p);
  pen(s, InputEvent::Kind::PenUp, p);
}

TodayShell::Item& crestuneItem(Session& s) { return *s.today()->find(wince::widen(itemName())); }

// A point of the item window: x from its left, y its middle row.
POINT onItem(Session& s, int x) {
  RECT r;
  GetWindowRect(crestuneItem(s).record.hwndCustom, &r);
  return POINT{r.left + x, (r.top + r.bottom) / 2};
}

// Answers the device's dialogs while an operation runs: when the input
// runs dry, `answer` pushes what a person would do next and says whether it
// did; at most `limit` answers an operation, so a dialog that never ends
// cannot hold the bench.
class Answerer {
 public:
  Answerer(Session& s, std::function<bool(Session&)> answer, int limit = 4)
      : s_(s), answer_(std::move(answer)), limit_(limit) {
    s_.device().input().setFeeder([this] { return given_++ < limit_ && answer_(s_); });
  }
  ~Answerer() { s_.device().input().setFeeder(nullptr); }
  void reset() { given_ = 0; }

 private:
  Session& s_;
  std::function<bool(Session&)> answer_;
  int limit_;
  int given_ = 0;
};

// Taps the centre of control `id` of the topmost window that has one.
bool tapControl(Session& s, int id) {
  const auto& tl = s.device().windows().topLevelWindows();
  for (auto it = tl.rbegin(); it != tl.rend(); ++it) {
    if (!IsWindowVisible(*it)) continue;
    if (HWND c = GetDlgItem(*it, id)) {
      RECT r;
      GetWindowRect(c, &r);
      tapAt(s, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
      return true;
    }
  }
  return false;
}

Prepared paint(Devices& d, bool buttons) {
  Session& s = d.item(buttons);
  HWND item = crestuneItem(s).record.hwndCustom;
  auto& windows = s.device().windows();
  Prepared p;
  p.run = [item, &windows] {
    InvalidateRect(item, nullptr, TRUE);
    UpdateWindow(item);
    windows.runUntilIdle();
  };
  // The two views differ in height: 20 for the title, more for buttons.
  p.check = [&s, buttons] {
    LONG h = static_cast<LONG>(crestuneItem(s).record.cyp);
    return (h > 20) == buttons ? std::string() : "the item is " + std::to_string(h) + " high";
  };
  return p;
}

Prepared tap(Devices& d) {
  Session& s = d.item(true);
  auto& windows = s.device().windows();
  const POINT play = onItem(s, 41);
  auto before = std::make_shared<size_t>(s.player().transcript().size());
  Prepared p;
  p.run = [&s, &windows, play] {
    pen(s, InputEvent::Kind::PenDown, play);
    windows.runUntilIdle();  // the pressed face
    pen(s, InputEvent::Kind::PenUp, play);
    windows.runUntilIdle();  // the command, the face again
  };
  p.check = [&s, before] {
    const auto& t = s.player().transcript();
    if (t.size() <= *before) return std::string("the player received nothing");
    return t.back().message == 0x80C8 ? std::string() : "the player received " + describe(t.back());
  };
  return p;
}

// The same tap as a script's line, checked and run by the script runner:
// what the runner adds to the platform's work.
Prepared scriptTap(Devices& d) {
  Session& s = d.item(true);
  const POINT play = onItem(s, 41);
  auto lines = std::make_shared<std::vector<std::string>>(
      1, "tap " + std::to_string(play.x) + " " + std::to_string(play.y));
  auto status = std::make_shared<int>(0);
  auto errors = std::make_shared<std::ostringstream>();
  auto before = std::make_shared<size_t>(s.player().transcript().size());
  Prepared p;
  p.run = [&s, lines, status, errors] {
    std::ostringstream out;
    *status = runScript(s, "bench", *lines, out, *errors);
  };
  p.check = [&s, status, errors, before] {
    if (*status != 0) return "the line failed: " + errors->str();
    const auto& t = s.player().transcript();
    if (t.size() <= *before) return std::string("the player received nothing");
    return t.back().message == 0x80C8 ? std::string() : "the player received " + describe(t.back());
  };
  return p;
}

Prepared holdMenu(Devices& d) {
  Session& s = d.item(true);
  auto& windows = s.device().windows();
  const POINT spot = onItem(s, 200);
  const size_t before = windows.menusShown().size();
  Prepared p;
  p.run = [&s, &windows, spot] {
    auto& input = s.device().input();
    pen(s, InputEvent::Kind::PenDown, spot);
    input.push(InputEvent{InputEvent::Kind::Wait, {}, 500, 0, {}});
    input.push(InputEvent{InputEvent::Kind::DismissMenu, {}, 0, 0, {}});
    pen(s, InputEvent::Kind::PenUp, spot);
    windows.runUntilIdle();
  };
  p.check = [&windows, before] {
    if (windows.menusShown().size() <= before) return std::string("no menu was shown");
    return windows.openMenu() ? std::string("the menu is still open") : std::string();
  };
  return p;
}

Prepared options(Devices& d) {
  Session& s = d.item(true);
  auto answerer = std::make_shared<Answerer>(s, [](Session& s) {
    RECT r = s.device().shell().doneButtonRect();
    if (r.right <= r.left) return false;
    tapAt(s, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    return true;
  });
  auto result = std::make_shared<INT_PTR>(0);
  Prepared p;
  p.run = [&s, answerer, result] {
    answerer->reset();
    *result = s.today()->openOptions(wince::widen(itemName()));
  };
  p.check = [result] { return *result == 1 ? std::string() : "the page ended with " + std::to_string(*result); };
  return p;
}

Prepared installUninstall(Devices& d) {
  Session& s = d.bare();
  // The language dialog is answered with its OK.
  auto answerer = std::make_shared<Answerer>(s, [](Session& s) { return tapControl(s, IDOK); });
  auto results = std::make_shared<std::pair<InstallResult, InstallResult>>();
  Prepared p;
  p.run = [answerer, results] {
    answerer->reset();
    results->first = Installer().install();
    results->second = Installer().uninstall();
  };
  p.check = [results] {
    if (!results->first.completed) return "install: " + results->first.message;
    if (!results->second.completed) return "uninstall: " + results->second.message;
    return std::string();
  };
  return p;
}

// The demo's lines without those that write files (steps, sheets, the
// transcript).
std::vector<std::string> demoWithoutFiles() {
  std::vector<std::string> lines;
  for (const std::string& l : demoScript(false))
    if (l.rfind("step ", 0) != 0 && l.rfind("sheet ", 0) != 0 && l.rfind("transcript ", 0) != 0) lines.push_back(l);
  return lines;
}

Prepared demo(Devices& d) {
  d.end();  // the demo makes its own device
  auto lines = std::make_shared<std::vector<std::string>>(demoWithoutFiles());
  auto status = std::make_shared<int>(0);
  auto errors = std::make_shared<std::ostringstream>();
  Prepared p;
  p.run = [lines, status, errors, build = d.build()] {
    std::ostringstream out;
    Session session({}, build);
    *status = runScript(session, "demo", *lines, out, *errors);
  };
  p.check = [status, errors] { return *status == 0 ? std::string() : "the demo failed: " + errors->str(); };
  return p;
}

Prepared screenshot(Devices& d) {
  Session& s = d.item(true);
  auto file = std::make_shared<fs::path>(s.folder() / "bench-screenshot.png");
  Prepared p;
  p.run = [&s, file] { wince::writePng(s.device().screen(), *file, 1); };
  p.check = [file] {
    std::error_code ec;
    return fs::file_size(*file, ec) > 100 ? std::string() : "no PNG was written";
  };
  return p;
}

Prepared interactiveFrame(Devices& d) {
  Session& s = d.item(true);
  auto probe = std::make_shared<FrameProbe>(s);
  Prepared p;
  if (!probe->open()) {
    std::string why = probe->error();
    p.check = [why] { return "no headless window: " + why; };
    return p;
  }
  p.run = [probe] { probe->frame(); };
  p.check = [] { return std::string(); };
  return p;
}

}  // namespace

Prepared prepare(const std::string& name, Devices& d) {
  if (name == "refresh_query") {
    Session& s = d.item(true);
    TodayShell::Item& item = crestuneItem(s);
    Prepared p;
    auto answer = std::make_shared<LRESULT>(0);
    p.run = [&item, answer] {
      *answer = SendMessageW(item.record.hwndCustom, WM_TODAYCUSTOM_QUERYREFRESHCACHE, 0,
                             reinterpret_cast<LPARAM>(&item.record));
    };
    p.check = [answer] { return *answer == FALSE ? std::string() : std::string("the item said it changed"); };
    return p;
  }
  if (name == "paint_title") return paint(d, false);
  if (name == "paint_buttons") return paint(d, true);
  if (name == "tap") return tap(d);
  if (name == "script_tap") return scriptTap(d);
  if (name == "hold_menu") return holdMenu(d);
  if (name == "options") return options(d);
  if (name == "install_uninstall") return installUninstall(d);
  if (name == "demo") return demo(d);
  if (name == "png_screenshot") return screenshot(d);
  if (name == "interactive_frame") return interactiveFrame(d);
  Prepared p;
  p.check = [name] { return "no operation " + name; };
  return p;
}

}  // namespace crestune::bench
