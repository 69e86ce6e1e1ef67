#include "script.h"

#include <algorithm>
#include <cstdio>
#include <cctype>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "device_error.h"
#include "screenshot.h"
#include "registry_store.h"
#include "contact_sheet.h"
#include "installer.h"
#include "shell_state.h"
#include "session.h"
#include "window_manager.h"

namespace crestune {

using wince::InputEvent;


namespace {

// A failed check or a malformed line: the message says what was expected.
struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

long long number(const std::string& w, const char* what) {
  try {
    size_t used = 0;
    long long v = std::stoll(w, &used, 0);
    if (used != w.size()) throw std::invalid_argument(w);
    return v;
  } catch (const std::exception&) {
    throw ScriptError(std::string("expected ") + what + " (a number), found \"" + w + "\"");
  }
}

// A number that must lie in [lo, hi]: a time, a count, a scale.
long long number(const std::string& w, const char* what, long long lo, long long hi) {
  long long v = number(w, what);
  if (v < lo || v > hi)
    throw ScriptError(std::string("expected ") + what + " from " + std::to_string(lo) + " to " + std::to_string(hi) +
                      ", found " + w);
  return v;
}

// The longest wait a script may ask for: a day of device time.
constexpr long long kMaxWait = 24LL * 3600 * 1000;

bool isHex(const std::string& w) {
  for (char c : w)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return !w.empty();
}

// The words of a line as they could be written again, for messages.
std::string joinWords(const std::vector<std::string>& w) {
  std::string s;
  for (const auto& word : w) {
    if (!s.empty()) s += ' ';
    s += word.find_first_of(" \t#\"") == std::string::npos && !word.empty() ? word : "\"" + word + "\"";
  }
  return s;
}

// Every command a script line may start with.
const char* const kCommands[] = {"reg",    "check",   "item", "today",   "player",  "wait",       "tap",
                                 "hold",   "drag",    "pen",  "menu",    "box",     "control",    "list",
                                 "file",   "options", "install", "uninstall", "screenshot", "step", "sheet",
                                 "transcript", "echo"};

bool knownCommand(const std::string& w) {
  for (const char* c : kCommands)
    if (w == c) return true;
  return false;
}

std::string hex(unsigned long long v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%llX", v);
  return buf;
}

std::string quoteList(const std::vector<std::string>& items) {
  std::string s;
  for (const auto& i : items) s += (s.empty() ? "" : ", ") + i;
  return s.empty() ? "nothing" : s;
}

class Runner {
 public:
  Runner(Session& s, const std::string& file, const std::vector<std::string>& lines, std::ostream& out,
         std::ostream& err)
      : s_(s), file_(file), lines_(lines), out_(out), err_(err) {}

  int run() {
    // A line that cannot be read stops the script before it touches the device.
    for (size_t i = 0; i < lines_.size() && !failed_; ++i) {
      try {
        std::vector<std::string> w = splitWords(lines_[i]);
        if (!w.empty() && !knownCommand(w[0])) fail(i, "unknown command \"" + w[0] + "\"");
      } catch (const std::exception& e) {
        fail(i, e.what());
      }
    }
    if (failed_) return 1;
    auto& input = s_.device().input();
    input.setFeeder([this] { return feed(); });
    while (!failed_ && next_ < lines_.size()) step();
    input.setFeeder(nullptr);
    if (!failed_) collectProblems(lines_.size());
    return failed_ ? 1 : 0;
  }

 private:
  // A modal loop of the device waits for input: run the script on until a
  // line gives some.
  bool feed() {
    if (failed_) return false;
    ++nested_;
    while (!failed_ && next_ < lines_.size()) {
      step();
      if (!s_.device().input().empty()) break;
    }
    --nested_;
    return !failed_ && !s_.device().input().empty();
  }

  void step() {
    size_t lineNo = next_++;
    try {
      std::vector<std::string> w = splitWords(lines_[lineNo]);
      if (w.empty()) return;
      execute(w);
      if (!nested_) {
        s_.device().windows().runUntilIdle();
        collectProblems(lineNo);
      }
    } catch (const std::exception& e) {
      fail(lineNo, e.what());
    }
  }

  // A problem comes from the input the device took last: a menu entry that
  // is not there belongs to the "menu choose" line, not to the line whose
  // menu it was.
  void collectProblems(size_t lineNo) {
    for (const std::string& p : s_.device().takeProblems()) fail(std::max(lineNo, inputLine_), p);
  }

  void fail(size_t lineNo, const std::string& what) {
    if (failed_) return;
    failed_ = true;
    // Problems found after the last line are reported at the last line.
    size_t shown = lines_.empty() ? 0 : std::min(lineNo, lines_.size() - 1);
    err_ << file_ << ":" << (shown + 1) << ": " << oneLine(what) << "\n";
  }

  void push(InputEvent e) {
    inputLine_ = next_ - 1;
    s_.device().input().push(std::move(e));
  }
  void pen(InputEvent::Kind kind, long long x, long long y) {
    push(InputEvent{kind, POINT{static_cast<LONG>(x), static_cast<LONG>(y)}, 0, 0, {}});
  }
  void wait(long long ms) { push(InputEvent{InputEvent::Kind::Wait, {}, static_cast<uint64_t>(ms), 0, {}}); }

  static void need(const std::vector<std::string>& w, size_t n, const char* usage) {
    if (w.size() != n) throw ScriptError(std::string("expected: ") + usage + ", found: " + joinWords(w));
  }

  TodayShell& today() {
    if (!s_.today()) throw ScriptError("the Today screen is not running (use: today start)");
    return *s_.today();
  }
  TodayShell::Item& item(const std::string& name) {
    TodayShell::Item* i = today().find(wince::widen(name));
    if (!i) throw ScriptError("no Today item \"" + name + "\" is shown");
    return *i;
  }

  // The topmost window on the screen that holds a control with this id.
  HWND controlById(long long id) {
    const auto& tl = s_.device().windows().topLevelWindows();
    for (auto it = tl.rbegin(); it != tl.rend(); ++it) {
      if (!IsWindowVisible(*it)) continue;
      if (HWND c = GetDlgItem(*it, static_cast<int>(id))) return c;
    }
    throw ScriptError("no window on the screen has a control " + std::to_string(id));
  }
  HWND topWindow() {
    const auto& tl = s_.device().windows().topLevelWindows();
    for (auto it = tl.rbegin(); it != tl.rend(); ++it)
      if (IsWindowVisible(*it)) return *it;
    throw ScriptError("nothing is on the screen");
  }
  // The topmost window that has a title. Untitled popups above it (the "ok"
  // bar of a full-screen dialog, which paints its dialog's title, a menu, a
  // dropped list) are not what a person reads as the title.
  HWND topTitledWindow() {
    const auto& tl = s_.device().windows().topLevelWindows();
    for (auto it = tl.rbegin(); it != tl.rend(); ++it)
      if (IsWindowVisible(*it) && !textOfWindow(*it).empty()) return *it;
    return topWindow();
  }
  // The "ok" of the navigation bar that a full-screen dialog gets.
  POINT doneButton() {
    RECT r = s_.device().shell().doneButtonRect();
    if (r.right <= r.left) throw ScriptError("no page on the screen has an \"ok\" in the navigation bar");
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  void tapAt(POINT p) {
    pen(InputEvent::Kind::PenDown, p.x, p.y);
    wait(50);
    pen(InputEvent::Kind::PenUp, p.x, p.y);
  }
  static std::string textOfWindow(HWND h) {
    char16_t buf[2048] = {};
    GetWindowTextW(h, buf, 2048);
    return wince::narrow(buf);
  }

  void control(const std::vector<std::string>& w) {
    if (w.size() < 3) throw ScriptError("expected: control tap|type ID ...");
    HWND c = controlById(number(w[2], "a control id"));
    RECT r;
    GetWindowRect(c, &r);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    if (w[1] == "tap" && w.size() == 3) {
      tapAt(centre);
    } else if (w[1] == "type" && w.size() == 4) {
      tapAt(centre);
      push(InputEvent{InputEvent::Kind::Char, {}, 0, 0, wince::widen(w[3])});
    } else if (w[1] == "erase" && w.size() == 4) {
      tapAt(centre);
      push(InputEvent{InputEvent::Kind::Key, {}, 0, VK_END, {}});
      for (long long i = number(w[3], "a count", 0, 10000); i > 0; --i) push(InputEvent{InputEvent::Kind::Key, {}, 0, VK_BACK, {}});
    } else {
      throw ScriptError("expected: control tap ID, control type ID TEXT or control erase ID COUNT");
    }
  }

  // The screen once the device has settled (a modal loop of the device
  // waiting on this line is left as it is), as a PNG under the output
  // folder. Answers the file written.
  std::filesystem::path writeScreen(const std::filesystem::path& name, int scale) {
    if (!nested_) s_.device().windows().runUntilIdle();
    std::filesystem::path file = s_.outputFolder / name;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
    wince::writePng(s_.device().screen(), file, scale);
    return file;
  }

  // One step of a story: the screen as it is now, with its caption, and what
  // the player received and the settings became since the step before.
  void step(const std::string& caption) {
    char name[32];
    std::snprintf(name, sizeof name, "%02zu-", frames_.size() + 1);
    std::string slug;
    for (char c : caption) {
      if (std::isalnum(static_cast<unsigned char>(c))) slug += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      else if (!slug.empty() && slug.back() != '-') slug += '-';
      if (slug.size() > 40) break;
    }
    while (!slug.empty() && slug.back() == '-') slug.pop_back();
    writeScreen(name + slug + ".png", 1);
    const auto& screen = s_.device().screen();
    frames_.push_back(SheetFrame{caption, screen.width, screen.height, screen.pixels});
    out_ << "step " << frames_.size() << ": " << caption << "\n";
    transcript_ << "step " << frames_.size() << ": " << caption << "\n";
    const auto& all = s_.player().transcript();
    for (; playerSeen_ < all.size(); ++playerSeen_) transcript_ << "  player received " << describe(all[playerSeen_]) << " " << commandName(all[playerSeen_]) << "\n";
    std::string settings = settingsText();
    if (settings != lastSettings_) {
      transcript_ << "  registry: " << settings << "\n";
      lastSettings_ = settings;
    }
  }

  std::string settingsText() {
    auto& r = s_.device().registry();
    const std::string key = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";
    const std::string item = "HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune";
    std::string s = std::string("Today item ") + (r.keyExists(item) ? "registered" : "not registered") + "; settings ";
    if (!r.keyExists(key)) return s + "absent";
    for (const char* name : {"IconSize", "Language", "WMPApplication"}) {
      auto v = r.getValue(key, name);
      s += std::string(name) + "=" + (v ? show(*v) : "none") + (std::string(name) == "WMPApplication" ? "" : ", ");
    }
    return s;
  }

  void install(const std::vector<std::string>& w) {
    Installer installer(PackageManifest::read(PackageManifest::defaultFile()));
    InstallResult r = w[0] == "install" ? installer.install() : installer.uninstall();
    out_ << r.message << "\n";
    lastInstall_ = r;
  }

  wince::RegistryStore::Value valueFrom(const std::vector<std::string>& w, size_t at) {
    if (w.size() < at + 2) throw ScriptError("expected a type (dword, sz, hex) and a value");
    const std::string& type = w[at];
    const std::string& v = w[at + 1];
    wince::RegistryStore::Value value;
    if (type == "dword") {
      value = {REG_DWORD, wince::RegistryStore::dwordBytes(static_cast<DWORD>(number(v, "a dword")))};
    } else if (type == "sz") {
      value = {REG_SZ, wince::RegistryStore::stringBytes(v)};
    } else if (type == "hex") {
      value.type = REG_BINARY;
      if (v.size() % 2 != 0 || (!v.empty() && !isHex(v)))
        throw ScriptError("expected hex bytes (pairs of hex digits such as 01ff), found \"" + v + "\"");
      for (size_t i = 0; i + 1 < v.size(); i += 2) value.bytes.push_back(static_cast<uint8_t>(std::stoi(v.substr(i, 2), nullptr, 16)));
    } else {
      throw ScriptError("expected a value type dword, sz or hex, found \"" + type + "\"");
    }
    if (w.size() == at + 4 && w[at + 2] == "size") {
      size_t size = static_cast<size_t>(number(w[at + 3], "a data size", 0, 65536));
      value.bytes.resize(size, 0);
    } else if (w.size() != at + 2) {
      throw ScriptError("expected at most \"size N\" after the value");
    }
    return value;
  }

  static std::string show(const wince::RegistryStore::Value& v) {
    std::string s;
    if (v.type == REG_DWORD && v.bytes.size() == 4) {
      DWORD d;
      std::memcpy(&d, v.bytes.data(), 4);
      s = "dword " + std::to_string(d);
    } else if (v.type == REG_SZ) {
      s = "sz \"" + wince::narrow(wince::RegistryStore::textOf(v.bytes)) + "\"";
    } else {
      s = "type " + std::to_string(v.type);
    }
    return s + " size " + std::to_string(v.bytes.size());
  }

  void reg(const std::vector<std::string>& w) {
    auto& r = s_.device().registry();
    if (w.size() < 2) throw ScriptError("expected: reg set|delete|check|dump ...");
    const std::string& verb = w[1];
    if (verb == "dump") {
      out_ << r.exportText();
      return;
    }
    if (w.size() < 3) throw ScriptError("expected a key after \"reg " + verb + "\"");
    const std::string& key = w[2];
    std::string name = w.size() > 3 ? (w[3] == "@" ? "" : w[3]) : "";
    if (verb == "set") {
      auto v = valueFrom(w, 4);
      r.setValue(key, name, v.type, v.bytes);
    } else if (verb == "delete") {
      if (w.size() == 3)
        r.deleteKey(key);
      else
        r.deleteValue(key, name);
    } else if (verb == "check") {
      if (w.size() == 4 && (w[3] == "missing" || w[3] == "present")) {
        bool exists = r.keyExists(key);
        if (exists != (w[3] == "present"))
          throw ScriptError("expected key " + key + " " + w[3] + ", found it " + (exists ? "present" : "missing"));
        return;
      }
      auto found = r.getValue(key, name);
      if (w.size() == 5 && w[4] == "missing") {
        if (found) throw ScriptError("expected " + name + " missing, found " + show(*found));
        return;
      }
      auto want = valueFrom(w, 4);
      bool sizeGiven = w.size() == 8;
      if (!found) throw ScriptError("expected " + name + " = " + show(want) + ", found no such value");
      bool same = found->type == want.type &&
                  (sizeGiven ? found->bytes == want.bytes
                             : std::equal(want.bytes.begin(), want.bytes.end(), found->bytes.begin(),
                                          found->bytes.begin() + std::min(found->bytes.size(), want.bytes.size())) &&
                                   (want.type != REG_DWORD || found->bytes.size() == 4));
      if (!same) throw ScriptError("expected " + name + " = " + show(want) + ", found " + show(*found));
    } else {
      throw ScriptError("expected reg set, delete, check or dump, found \"reg " + verb + "\"");
    }
  }

  void check(const std::vector<std::string>& w) {
    if (w.size() < 2) throw ScriptError("expected: check height|refresh|player|menu|box|pixel ...");
    const std::string& what = w[1];
    auto& windows = s_.device().windows();
    if (what == "height") {
      need(w, 4, "check height ITEM PIXELS");
      long long want = number(w[3], "a height");
      long long found = item(w[2]).record.cyp;
      if (found != want) throw ScriptError("expected height " + std::to_string(want) + ", found " + std::to_string(found));
    } else if (what == "refresh") {
      need(w, 4, "check refresh ITEM true|false");
      bool want = w[3] == "true";
      if (w[3] != "true" && w[3] != "false") throw ScriptError("expected true or false, found \"" + w[3] + "\"");
      bool found = item(w[2]).lastRefresh;
      if (found != want)
        throw ScriptError(std::string("expected the last refresh query to answer ") + w[3] + ", found " +
                          (found ? "true" : "false"));
    } else if (what == "item") {
      need(w, 4, "check item ITEM shown|absent");
      if (w[3] != "shown" && w[3] != "absent") throw ScriptError("expected shown or absent, found \"" + w[3] + "\"");
      bool shown = s_.today() && s_.today()->find(wince::widen(w[2]));
      if (shown != (w[3] == "shown")) throw ScriptError("expected item " + w[2] + " " + w[3]);
    } else if (what == "player") {
      std::vector<std::string> found;
      for (const auto& m : s_.player().takeNew()) found.push_back(describe(m));
      std::vector<std::string> want;
      if (!(w.size() == 3 && w[2] == "nothing"))
        for (size_t i = 2; i < w.size(); ++i) {
          std::vector<long long> parts;
          std::stringstream ss(w[i]);
          for (std::string p; std::getline(ss, p, ':');) parts.push_back(number(p, "a message"));
          if (parts.empty() || parts.size() > 3)
            throw ScriptError("expected a message MSG, MSG:WPARAM or MSG:WPARAM:LPARAM, found \"" + w[i] + "\"");
          PlayerMessage m{static_cast<UINT>(parts[0]), parts.size() > 1 ? static_cast<WPARAM>(parts[1]) : 0,
                          parts.size() > 2 ? static_cast<LPARAM>(parts[2]) : 0};
          want.push_back(describe(m));
        }
      if (found != want)
        throw ScriptError("expected the player to receive " + quoteList(want) + ", found " + quoteList(found));
    } else if (what == "running" || what == "stopped") {
      need(w, 3, "check running|stopped player");
      if (s_.player().running() != (what == "running"))
        throw ScriptError("expected the player " + what + ", found it " + (s_.player().running() ? "running" : "stopped"));
    } else if (what == "menu") {
      const auto& shown = windows.menusShown();
      if (shown.empty()) throw ScriptError("expected a menu, but none was shown");
      if (w.size() == 5 && w[2] == "at") {
        POINT p = shown.back().requested;
        long long x = number(w[3], "x"), y = number(w[4], "y");
        if (p.x != x || p.y != y)
          throw ScriptError("expected the menu at " + std::to_string(x) + "," + std::to_string(y) + ", found " +
                            std::to_string(p.x) + "," + std::to_string(p.y));
        return;
      }
      std::vector<std::string> found, want(w.begin() + 2, w.end());
      for (const auto& e : shown.back().entries) found.push_back(wince::narrow(e));
      if (found != want) throw ScriptError("expected the menu " + quoteList(want) + ", found " + quoteList(found));
    } else if (what == "box") {
      const auto& boxes = windows.messageBoxes();
      if (w.size() == 3 && w[2] == "none") {
        if (!boxes.empty() && boxesSeen_ < boxes.size())
          throw ScriptError("expected no message box, found \"" + wince::narrow(boxes.back().text) + "\"");
        return;
      }
      if (w.size() != 3 && !(w.size() == 5 && w[3] == "caption"))
        throw ScriptError("expected: check box TEXT [caption CAPTION] or check box none");
      if (boxesSeen_ >= boxes.size()) throw ScriptError("expected a message box \"" + w[2] + "\", but none was shown");
      const auto& box = boxes[boxesSeen_++];
      if (wince::narrow(box.text) != w[2])
        throw ScriptError("expected a message box \"" + w[2] + "\", found \"" + wince::narrow(box.text) + "\"");
      if (w.size() == 5 && wince::narrow(box.caption) != w[4])
        throw ScriptError("expected the caption \"" + w[4] + "\", found \"" + wince::narrow(box.caption) + "\"");
    } else if (what == "control") {
      if (w.size() != 5 && w.size() != 4) throw ScriptError("expected: check control ID text TEXT, or check control ID checked|unchecked");
      HWND c = controlById(number(w[2], "a control id"));
      if (w.size() == 5 && w[3] == "text") {
        std::string found = textOfWindow(c);
        if (found != w[4]) throw ScriptError("expected control " + w[2] + " to read \"" + w[4] + "\", found \"" + found + "\"");
      } else if (w.size() == 4 && (w[3] == "checked" || w[3] == "unchecked")) {
        bool checked = SendMessageW(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
        if (checked != (w[3] == "checked"))
          throw ScriptError("expected control " + w[2] + " " + w[3] + ", found it " + (checked ? "checked" : "unchecked"));
      } else {
        throw ScriptError("expected: check control ID text TEXT, or check control ID checked|unchecked");
      }
    } else if (what == "title") {
      need(w, 3, "check title TEXT");
      std::string found = textOfWindow(topTitledWindow());
      if (found != w[2]) throw ScriptError("expected the window on top to be titled \"" + w[2] + "\", found \"" + found + "\"");
    } else if (what == "mail") {
      need(w, 3, "check mail ADDRESS");
      auto& mail = s_.device().shell().mailOpened();
      if (mail.empty()) throw ScriptError("expected a mail message to " + w[2] + ", but none was opened");
      if (wince::narrow(mail.back()) != w[2]) throw ScriptError("expected a mail message to " + w[2] + ", found " + wince::narrow(mail.back()));
    } else if (what == "result") {
      need(w, 3, "check result N");
      if (lastResult_ != number(w[2], "a result"))
        throw ScriptError("expected the dialog to end with " + w[2] + ", found " + std::to_string(lastResult_));
    } else if (what == "installed" || what == "cancelled") {
      need(w, 2, "check installed, or check cancelled");
      bool found = what == "installed" ? lastInstall_.completed : lastInstall_.cancelled;
      if (!found) throw ScriptError("expected the last install or uninstall " + what + ", found: " + lastInstall_.message);
    } else if (what == "pixel") {
      need(w, 5, "check pixel X Y RRGGBB");
      auto& screen = s_.device().screen();
      long long x = number(w[2], "x"), y = number(w[3], "y");
      if (x < 0 || y < 0 || x >= screen.width || y >= screen.height) throw ScriptError("the point is off the screen");
      if (w[4].size() != 6 || !isHex(w[4])) throw ScriptError("expected a colour RRGGBB, found \"" + w[4] + "\"");
      unsigned long want = std::stoul(w[4], nullptr, 16);
      uint32_t found = screen.at(static_cast<int>(x), static_cast<int>(y)) & 0xFFFFFF;
      if (found != want) throw ScriptError("expected pixel " + w[4] + ", found " + hex(found).substr(2));
    } else {
      throw ScriptError("unknown check \"" + what + "\"");
    }
  }

  void execute(const std::vector<std::string>& w) {
    const std::string& cmd = w[0];
    if (cmd == "reg") {
      reg(w);
    } else if (cmd == "check") {
      check(w);
    } else if (cmd == "item") {
      if (w.size() < 4 || w[1] != "register") throw ScriptError("expected: item register NAME DLL [enabled N] [order N] [options N]");
      DWORD enabled = 1, order = 10, options = 1;
      if (w.size() % 2 != 0) throw ScriptError("expected a value after \"" + w.back() + "\"");
      for (size_t i = 4; i + 1 < w.size(); i += 2) {
        if (w[i] == "enabled") enabled = static_cast<DWORD>(number(w[i + 1], "0 or 1"));
        else if (w[i] == "order") order = static_cast<DWORD>(number(w[i + 1], "an order"));
        else if (w[i] == "options") options = static_cast<DWORD>(number(w[i + 1], "0 or 1"));
        else throw ScriptError("expected enabled, order or options, found \"" + w[i] + "\"");
      }
      registerTodayItem(s_.device().registry(), w[2], w[3], enabled, order, options);
    } else if (cmd == "today") {
      need(w, 2, "today start|stop|refresh|reload");
      if (w[1] == "start") s_.startToday();
      else if (w[1] == "stop") s_.stopToday();
      else if (w[1] == "refresh") today().refresh();
      else if (w[1] == "reload") today().reload();
      else throw ScriptError("expected today start, stop, refresh or reload");
    } else if (cmd == "player") {
      need(w, 2, "player start|close");
      if (w[1] == "start") s_.player().start();
      else if (w[1] == "close") s_.player().close();
      else throw ScriptError("expected player start or close");
    } else if (cmd == "wait") {
      need(w, 2, "wait MILLISECONDS");
      wait(number(w[1], "milliseconds", 0, kMaxWait));
    } else if (cmd == "tap") {
      need(w, 3, "tap X Y");
      tapAt(POINT{static_cast<LONG>(number(w[1], "x")), static_cast<LONG>(number(w[2], "y"))});
    } else if (cmd == "hold") {
      need(w, 4, "hold X Y MILLISECONDS");
      pen(InputEvent::Kind::PenDown, number(w[1], "x"), number(w[2], "y"));
      wait(number(w[3], "milliseconds", 0, kMaxWait));
      pen(InputEvent::Kind::PenUp, number(w[1], "x"), number(w[2], "y"));
    } else if (cmd == "drag") {
      need(w, 5, "drag X1 Y1 X2 Y2");
      pen(InputEvent::Kind::PenDown, number(w[1], "x"), number(w[2], "y"));
      wait(50);
      pen(InputEvent::Kind::PenMove, number(w[3], "x"), number(w[4], "y"));
      wait(50);
      pen(InputEvent::Kind::PenUp, number(w[3], "x"), number(w[4], "y"));
    } else if (cmd == "pen") {
      need(w, 4, "pen down|move|up X Y");
      InputEvent::Kind k = w[1] == "down" ? InputEvent::Kind::PenDown
                           : w[1] == "up" ? InputEvent::Kind::PenUp
                           : w[1] == "move" ? InputEvent::Kind::PenMove
                                            : throw ScriptError("expected pen down, move or up");
      pen(k, number(w[2], "x"), number(w[3], "y"));
    } else if (cmd == "menu") {
      if (w.size() == 3 && w[1] == "choose") push(InputEvent{InputEvent::Kind::ChooseMenu, {}, 0, 0, wince::widen(w[2])});
      else if (w.size() == 2 && w[1] == "dismiss") push(InputEvent{InputEvent::Kind::DismissMenu, {}, 0, 0, {}});
      else throw ScriptError("expected: menu choose TEXT, or menu dismiss");
    } else if (cmd == "box") {
      need(w, 3, "box answer OK|Cancel|Yes|No");
      static const std::map<std::string, int> answers = {{"OK", IDOK}, {"Cancel", IDCANCEL}, {"Yes", IDYES}, {"No", IDNO}};
      auto it = answers.find(w[2]);
      if (w[1] != "answer" || it == answers.end()) throw ScriptError("expected: box answer OK|Cancel|Yes|No");
      push(InputEvent{InputEvent::Kind::AnswerBox, {}, 0, it->second, {}});
    } else if (cmd == "control") {
      control(w);
    } else if (cmd == "list") {
      if (w.size() != 3 || w[1] != "choose") throw ScriptError("expected: list choose TEXT");
      push(InputEvent{InputEvent::Kind::ChooseList, {}, 0, 0, wince::widen(w[2])});
    } else if (cmd == "file") {
      if (w.size() == 3 && w[1] == "choose") push(InputEvent{InputEvent::Kind::ChooseFile, {}, 0, 0, wince::widen(w[2])});
      else if (w.size() == 2 && w[1] == "cancel") push(InputEvent{InputEvent::Kind::CancelFile, {}, 0, 0, {}});
      else throw ScriptError("expected: file choose PATH, or file cancel");
    } else if (cmd == "options") {
      if (w.size() == 3 && w[1] == "open") {
        lastResult_ = today().openOptions(wince::widen(w[2]));
        if (lastResult_ == -1) throw ScriptError("item " + w[2] + " has no options page");
      } else if (w.size() == 2 && w[1] == "ok") {
        tapAt(doneButton());
      } else {
        throw ScriptError("expected: options open ITEM, or options ok");
      }
    } else if (cmd == "install" || cmd == "uninstall") {
      need(w, 1, "install, or uninstall");
      install(w);
    } else if (cmd == "screenshot") {
      if (w.size() != 2 && !(w.size() == 4 && w[2] == "scale")) throw ScriptError("expected: screenshot FILE [scale N]");
      int scale = w.size() == 4 ? static_cast<int>(number(w[3], "a scale", 1, 8)) : 1;
      out_ << "screenshot: " << writeScreen(w[1], scale).string() << "\n";
    } else if (cmd == "step") {
      need(w, 2, "step CAPTION");
      step(w[1]);
    } else if (cmd == "sheet") {
      if (w.size() < 3) throw ScriptError("expected: sheet FILE TITLE [STEP ...]");
      std::filesystem::path file = s_.outputFolder / w[1];
      std::vector<SheetFrame> chosen;
      for (size_t i = 3; i < w.size(); ++i) {
        long long n = number(w[i], "a step number");
        if (n < 1 || n > static_cast<long long>(frames_.size()))
          throw ScriptError("there is no step " + w[i] + " (the steps so far: 1 to " + std::to_string(frames_.size()) + ")");
        chosen.push_back(frames_[static_cast<size_t>(n - 1)]);
      }
      if (w.size() == 3) chosen = frames_;
      writeContactSheet(w[2], chosen, w.size() == 3 ? 4 : static_cast<int>(chosen.size()), file);
      out_ << "contact sheet: " << file.string() << "\n";
    } else if (cmd == "transcript") {
      need(w, 2, "transcript FILE");
      std::filesystem::path file = s_.outputFolder / w[1];
      std::ofstream t(file);
      t << transcript_.str();
      if (!t) throw ScriptError("cannot write " + file.string());
      out_ << "transcript: " << file.string() << "\n";
    } else if (cmd == "echo") {
      for (size_t i = 1; i < w.size(); ++i) out_ << (i > 1 ? " " : "") << w[i];
      out_ << "\n";
    } else {
      throw ScriptError("unknown command \"" + cmd + "\"");
    }
  }

  Session& s_;
  std::string file_;
  const std::vector<std::string>& lines_;
  std::ostream& out_;
  std::ostream& err_;
  size_t next_ = 0;
  size_t inputLine_ = 0;  // the line that gave the last input
  int nested_ = 0;
  bool failed_ = false;
  size_t boxesSeen_ = 0;
  INT_PTR lastResult_ = 0;
  std::vector<SheetFrame> frames_;
  std::ostringstream transcript_;
  size_t playerSeen_ = 0;
  std::string lastSettings_;
  InstallResult lastInstall_;
};

}  // namespace

int runScript(Session& session, const std::string& fileName, const std::vector<std::string>& lines, std::ostream& out,
              std::ostream& err) {
  Runner runner(session, fileName, lines, out, err);
  return runner.run();
}

}  // namespace crestune
