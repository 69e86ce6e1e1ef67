// Script commands that work the device: its programs (the Today shell, the
// player, the installer) and the person's hand (pen, menus, message boxes,
// controls, lists, the open-file dialog, options pages).
#include <map>
#include <ostream>

#include "mpris_bridge.h"
#include "script_runner.h"
#include "shell_state.h"
#include "window_manager.h"

namespace crestune::script {

using wince::InputEvent;

void Runner::push(InputEvent e) {
  inputLine_ = next_ - 1;
  s_.device().input().push(std::move(e));
}

void Runner::pen(InputEvent::Kind kind, long long x, long long y) {
  push(InputEvent{kind, POINT{static_cast<LONG>(x), static_cast<LONG>(y)}, 0, 0, {}});
}

void Runner::wait(long long ms) { push(InputEvent{InputEvent::Kind::Wait, {}, static_cast<uint64_t>(ms), 0, {}}); }

void Runner::tapAt(POINT p) {
  pen(InputEvent::Kind::PenDown, p.x, p.y);
  wait(50);
  pen(InputEvent::Kind::PenUp, p.x, p.y);
}

TodayShell& Runner::today() {
  if (!s_.today()) throw ScriptError("the Today screen is not running (use: today start)");
  return *s_.today();
}

TodayShell::Item& Runner::item(const std::string& name) {
  TodayShell::Item* i = today().find(wince::widen(name));
  if (!i) throw ScriptError("no Today item \"" + name + "\" is shown");
  return *i;
}

// The topmost window on the screen that holds a control with this id.
HWND Runner::controlById(long long id) {
  const auto& tl = s_.device().windows().topLevelWindows();
  for (auto it = tl.rbegin(); it != tl.rend(); ++it) {
    if (!IsWindowVisible(*it)) continue;
    if (HWND c = GetDlgItem(*it, static_cast<int>(id))) return c;
  }
  throw ScriptError("no window on the screen has a control " + std::to_string(id));
}

HWND Runner::topWindow() {
  const auto& tl = s_.device().windows().topLevelWindows();
  for (auto it = tl.rbegin(); it != tl.rend(); ++it)
    if (IsWindowVisible(*it)) return *it;
  throw ScriptError("nothing is on the screen");
}

// The topmost window that has a title. Untitled popups above it (the "ok"
// bar of a full-screen dialog, which paints its dialog's title, a menu, a
// dropped list) are not what a person reads as the title.
HWND Runner::topTitledWindow() {
  const auto& tl = s_.device().windows().topLevelWindows();
  for (auto it = tl.rbegin(); it != tl.rend(); ++it)
    if (IsWindowVisible(*it) && !textOfWindow(*it).empty()) return *it;
  return topWindow();
}

std::string Runner::textOfWindow(HWND h) {
  char16_t buf[2048] = {};
  GetWindowTextW(h, buf, 2048);
  return wince::narrow(buf);
}

void Runner::todayStart(const Line&) { s_.startToday(); }
void Runner::todayStop(const Line&) { s_.stopToday(); }
void Runner::todayRefresh(const Line&) { today().refresh(); }
void Runner::todayReload(const Line&) { today().reload(); }
void Runner::playerStart(const Line& l) {
  std::unique_ptr<PlayerRemote> remote;
  if (l.has("PLAYER")) remote = openMprisBridge(mprisChoice(l["PLAYER"]).value_or(""), s_.player().notes());
  s_.player().start(std::move(remote));
}
void Runner::playerClose(const Line&) { s_.player().close(); }

void Runner::waitFor(const Line& l) { wait(l.number("MS")); }

void Runner::tap(const Line& l) { tapAt(POINT{static_cast<LONG>(l.number("X")), static_cast<LONG>(l.number("Y"))}); }

void Runner::hold(const Line& l) {
  pen(InputEvent::Kind::PenDown, l.number("X"), l.number("Y"));
  wait(l.number("MS"));
  pen(InputEvent::Kind::PenUp, l.number("X"), l.number("Y"));
}

void Runner::drag(const Line& l) {
  pen(InputEvent::Kind::PenDown, l.number("X1"), l.number("Y1"));
  wait(50);
  pen(InputEvent::Kind::PenMove, l.number("X2"), l.number("Y2"));
  wait(50);
  pen(InputEvent::Kind::PenUp, l.number("X2"), l.number("Y2"));
}

void Runner::penAt(const Line& l) {
  static const std::map<std::string, InputEvent::Kind> kinds = {
      {"down", InputEvent::Kind::PenDown}, {"move", InputEvent::Kind::PenMove}, {"up", InputEvent::Kind::PenUp}};
  pen(kinds.at(l.words[1]), l.number("X"), l.number("Y"));
}

void Runner::menuChoose(const Line& l) { push(InputEvent{InputEvent::Kind::ChooseMenu, {}, 0, 0, wince::widen(l["TEXT"])}); }
void Runner::menuDismiss(const Line&) { push(InputEvent{InputEvent::Kind::DismissMenu, {}, 0, 0, {}}); }

void Runner::boxAnswer(const Line& l) {
  static const std::map<std::string, int> answers = {{"OK", IDOK}, {"Cancel", IDCANCEL}, {"Yes", IDYES}, {"No", IDNO}};
  push(InputEvent{InputEvent::Kind::AnswerBox, {}, 0, answers.at(l.words[2]), {}});
}

namespace {

POINT centreOf(HWND h) {
  RECT r;
  GetWindowRect(h, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

}  // namespace

void Runner::controlTap(const Line& l) { tapAt(centreOf(controlById(l.number("ID")))); }

void Runner::controlType(const Line& l) {
  tapAt(centreOf(controlById(l.number("ID"))));
  push(InputEvent{InputEvent::Kind::Char, {}, 0, 0, wince::widen(l["TEXT"])});
}

void Runner::controlErase(const Line& l) {
  tapAt(centreOf(controlById(l.number("ID"))));
  push(InputEvent{InputEvent::Kind::Key, {}, 0, VK_END, {}});
  for (long long i = l.number("COUNT"); i > 0; --i) push(InputEvent{InputEvent::Kind::Key, {}, 0, VK_BACK, {}});
}

void Runner::listChoose(const Line& l) { push(InputEvent{InputEvent::Kind::ChooseList, {}, 0, 0, wince::widen(l["TEXT"])}); }
void Runner::fileChoose(const Line& l) { push(InputEvent{InputEvent::Kind::ChooseFile, {}, 0, 0, wince::widen(l["PATH"])}); }
void Runner::fileCancel(const Line&) { push(InputEvent{InputEvent::Kind::CancelFile, {}, 0, 0, {}}); }

void Runner::optionsOpen(const Line& l) {
  lastResult_ = today().openOptions(wince::widen(l["ITEM"]));
  if (lastResult_ == -1) throw ScriptError("item " + l["ITEM"] + " has no options page");
  optionsOpened_ = true;
}

// Taps the "ok" of the navigation bar that a full-screen dialog gets.
void Runner::optionsOk(const Line&) {
  RECT r = s_.device().shell().doneButtonRect();
  if (r.right <= r.left) throw ScriptError("no page on the screen has an \"ok\" in the navigation bar");
  tapAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

// An install or removal asked for while another runs (a line answering the
// first one's dialog) is refused, and the script stops there.
// A CAB that is damaged or not for this device is refused, naming it and
// why, before anything on the device changes.
void Runner::install(const Line& l) {
  InstallResult result = Installer(l.rest.empty() ? std::filesystem::path() : std::filesystem::path(l.rest[0])).install();
  if (result.refused) throw ScriptError(result.message);
  lastInstall_ = result;
  installRan_ = true;
  out_ << lastInstall_.message << "\n";
}

void Runner::uninstall(const Line& l) {
  InstallResult result = Installer(l.rest.empty() ? std::filesystem::path() : std::filesystem::path(l.rest[0])).uninstall();
  if (result.refused) throw ScriptError(result.message);
  lastInstall_ = result;
  installRan_ = true;
  out_ << lastInstall_.message << "\n";
}

}  // namespace crestune::script
