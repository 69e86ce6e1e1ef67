// An emulated device of the test's, driven by script lines as `crestune run`
// drives one, with what it printed on each stream and in its transcript
// kept; and the time the desktop needs, given a quarter second of device
// time at a go.
#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "../cli/cli_run.h"
#include "desktop.h"
#include "device.h"
#include "script.h"
#include "session.h"

namespace mpristest {

// The Today item's transport buttons on the screen, and its menu.
constexpr const char* kTapPlay = "tap 45 64";
constexpr const char* kTapPause = "tap 73 64";
constexpr const char* kTapNext = "tap 145 64";
constexpr const char* kHoldForMenu = "hold 200 64 1000";

class ScriptedDevice {
 public:
  explicit ScriptedDevice(const fs::path& out) { session.outputFolder = out; }

  // Runs the lines and then writes the transcript of this run (a step and
  // its file), which transcript gathers. Answers the run's status.
  int run(std::vector<std::string> lines) {
    lines.push_back("step \"run " + std::to_string(++runs_) + "\"");
    lines.push_back("transcript transcript.txt");
    std::ostringstream o, e;
    int status = crestune::runScript(session, "test.crest", lines, o, e);
    out += o.str();
    err += e.str();
    transcript += clitest::readFile(session.outputFolder / "transcript.txt");
    return status;
  }

  // The item on a fresh Today screen, and the player started as `player`'s
  // remote.
  int startWith(const std::string& player) {
    return run({"item register \"WMP Crestune\" crestitem.dll", "today start", "player start " + player, "wait 2000"});
  }

  // Device time passes until `done` holds, for five seconds at most.
  bool waitUntil(const std::function<bool()>& done) {
    return waitFor([&] { return run({"wait 250"}) == 0 && done(); });
  }

  const crestune::PlayerState& player() { return session.player().state(); }
  std::string title() { return wince::narrow(player().track().title); }

  // What the terminal showed of each line: how many lines hold `text`.
  size_t errLines(const std::string& text) const { return clitest::linesWith(err, text).size(); }

  crestune::Session session;
  std::string out, err, transcript;

 private:
  int runs_ = 0;
};

}  // namespace mpristest
