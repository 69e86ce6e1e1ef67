// Script checks: what the Today shell, the player, the menus, message boxes,
// dialogs and the screen show against what the line expects.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <ostream>

#include "player.h"
#include "script_runner.h"
#include "shell_state.h"
#include "window_manager.h"

namespace crestune::script {

namespace {

std::string listOrNothing(const std::vector<std::string>& items) {
  std::string s;
  for (const auto& i : items) s += (s.empty() ? "" : ", ") + i;
  return s.empty() ? "nothing" : s;
}

// MSG, MSG:WPARAM or MSG:WPARAM:LPARAM as the player describes a message.
std::string describeWord(const std::string& word) {
  std::vector<long long> parts;
  for (size_t at = 0; at <= word.size();) {
    size_t end = std::min(word.find(':', at), word.size());
    parts.push_back(readNumber(word.substr(at, end - at), "a message", LLONG_MIN, LLONG_MAX));
    at = end + 1;
  }
  PlayerMessage m{static_cast<UINT>(parts[0]), parts.size() > 1 ? static_cast<WPARAM>(parts[1]) : 0,
                  parts.size() > 2 ? static_cast<LPARAM>(parts[2]) : 0};
  return describe(m);
}

}  // namespace

void Runner::checkHeight(const Line& l) {
  long long want = l.number("PIXELS");
  long long found = item(l["ITEM"]).record.cyp;
  if (found != want) throw ScriptError("expected height " + std::to_string(want) + ", found " + std::to_string(found));
}

void Runner::checkRefresh(const Line& l) {
  const std::string& want = l.words[3];
  bool found = item(l["ITEM"]).lastRefresh;
  if (found != (want == "true"))
    throw ScriptError("expected the last refresh query to answer " + want + ", found " + (found ? "true" : "false"));
}

void Runner::checkItem(const Line& l) {
  const std::string& want = l.words[3];
  bool shown = s_.today() && s_.today()->find(wince::widen(l["ITEM"]));
  if (shown != (want == "shown")) throw ScriptError("expected item " + l["ITEM"] + " " + want);
}

// Both `check player nothing` and `check player MSG...`: the first has no
// messages in its rest.
void Runner::checkPlayer(const Line& l) {
  std::vector<std::string> found, want;
  for (const auto& m : s_.player().takeNew()) found.push_back(describe(m));
  for (const auto& word : l.rest) want.push_back(describeWord(word));
  if (found != want)
    throw ScriptError("expected the player to receive " + listOrNothing(want) + ", found " + listOrNothing(found));
}

void Runner::checkRunning(const Line& l) {
  const std::string& want = l.words[1];
  bool running = s_.player().running();
  if (running != (want == "running"))
    throw ScriptError("expected the player " + want + ", found it " + (running ? "running" : "stopped"));
}

void Runner::checkMenuAt(const Line& l) {
  const auto& shown = s_.device().windows().menusShown();
  if (shown.empty()) throw ScriptError("expected a menu, but none was shown");
  POINT p = shown.back().requested;
  long long x = l.number("X"), y = l.number("Y");
  if (p.x != x || p.y != y)
    throw ScriptError("expected the menu at " + std::to_string(x) + "," + std::to_string(y) + ", found " +
                      std::to_string(p.x) + "," + std::to_string(p.y));
}

void Runner::checkMenu(const Line& l) {
  const auto& shown = s_.device().windows().menusShown();
  if (shown.empty()) throw ScriptError("expected a menu, but none was shown");
  std::vector<std::string> found;
  for (const auto& e : shown.back().entries) found.push_back(wince::narrow(e));
  if (found != l.rest) throw ScriptError("expected the menu " + listOrNothing(l.rest) + ", found " + listOrNothing(found));
}

void Runner::checkNoBox(const Line&) {
  const auto& boxes = s_.device().windows().messageBoxes();
  if (boxesSeen_ < boxes.size())
    throw ScriptError("expected no message box, found \"" + wince::narrow(boxes.back().text) + "\"");
}

void Runner::checkBox(const Line& l) {
  const auto& boxes = s_.device().windows().messageBoxes();
  const std::string& text = l["TEXT"];
  if (boxesSeen_ >= boxes.size()) throw ScriptError("expected a message box \"" + text + "\", but none was shown");
  if (!boxes.kept(boxesSeen_))
    throw ScriptError("expected a message box \"" + text + "\", but " + std::to_string(boxes.size() - boxesSeen_) +
                      " were shown since the last check and the device keeps the last " +
                      std::to_string(boxes.keep()));
  const auto& box = boxes[boxesSeen_++];
  if (wince::narrow(box.text) != text)
    throw ScriptError("expected a message box \"" + text + "\", found \"" + wince::narrow(box.text) + "\"");
  if (l.has("caption") && wince::narrow(box.caption) != l["caption"])
    throw ScriptError("expected the caption \"" + l["caption"] + "\", found \"" + wince::narrow(box.caption) + "\"");
}

void Runner::checkPixel(const Line& l) {
  auto& screen = s_.device().screen();
  long long x = l.number("X"), y = l.number("Y");
  if (x >= screen.width || y >= screen.height) throw ScriptError("the point is off the screen");
  unsigned long want = std::stoul(l["RRGGBB"], nullptr, 16);
  uint32_t found = screen.at(static_cast<int>(x), static_cast<int>(y)) & 0xFFFFFF;
  if (found != want) {
    char shown[16];
    std::snprintf(shown, sizeof shown, "%X", found);
    throw ScriptError("expected pixel " + l["RRGGBB"] + ", found " + shown);
  }
}

void Runner::checkControlText(const Line& l) {
  std::string found = textOfWindow(controlById(l.number("ID")));
  if (found != l["TEXT"])
    throw ScriptError("expected control " + l["ID"] + " to read \"" + l["TEXT"] + "\", found \"" + found + "\"");
}

void Runner::checkControlChecked(const Line& l) {
  const std::string& want = l.words[3];
  bool checked = SendMessageW(controlById(l.number("ID")), BM_GETCHECK, 0, 0) == BST_CHECKED;
  if (checked != (want == "checked"))
    throw ScriptError("expected control " + l["ID"] + " " + want + ", found it " + (checked ? "checked" : "unchecked"));
}

void Runner::checkTitle(const Line& l) {
  std::string found = textOfWindow(topTitledWindow());
  if (found != l["TEXT"])
    throw ScriptError("expected the window on top to be titled \"" + l["TEXT"] + "\", found \"" + found + "\"");
}

void Runner::checkMail(const Line& l) {
  const std::string& want = l["ADDRESS"];
  auto& mail = s_.device().shell().mailOpened();
  if (mail.empty()) throw ScriptError("expected a mail message to " + want + ", but none was opened");
  if (wince::narrow(mail.back()) != want)
    throw ScriptError("expected a mail message to " + want + ", found " + wince::narrow(mail.back()));
}

void Runner::checkResult(const Line& l) {
  if (!optionsOpened_)
    throw ScriptError("expected the options page to end with " + l["N"] + ", but no options page was opened");
  if (lastResult_ != l.number("N"))
    throw ScriptError("expected the dialog to end with " + l["N"] + ", found " + std::to_string(lastResult_));
}

void Runner::checkInstall(const Line& l) {
  const std::string& want = l.words[1];
  if (!installRan_)
    throw ScriptError("expected the last install or uninstall " + want + ", but no install or uninstall ran");
  bool found = want == "installed" ? lastInstall_.completed : lastInstall_.cancelled;
  if (!found) throw ScriptError("expected the last install or uninstall " + want + ", found: " + lastInstall_.message);
}

}  // namespace crestune::script
