// The script runner's shared state and its commands, one member a command of
// the table in script.cpp, defined by group: script_registry.cpp,
// script_device.cpp, script_checks.cpp, script_output.cpp.
#pragma once
#include <windows.h>

#include <cstdint>
#include <iosfwd>
#include <sstream>
#include <string>
#include <vector>

#include "contact_sheet.h"
#include "device.h"
#include "installer.h"
#include "registry_store.h"
#include "script_shape.h"
#include "session.h"

namespace crestune::script {

struct Runner;
using Handler = void (Runner::*)(const Line&);

// The row of the command table each line of a script has, as the check
// found it (kNoCommand for a line without words): all that is kept of a
// line between the check and its run, which reads it again.
using Rows = std::vector<uint8_t>;
constexpr uint8_t kNoCommand = 0xFF;

struct Runner {
  Runner(Session& s, const std::string& file, const std::vector<std::string>& lines, std::ostream& out,
         std::ostream& err)
      : s_(s), file_(file), lines_(lines), out_(out), err_(err) {}

  // Runs the checked lines; answers the exit status.
  int run(Rows rows);

  // Registry.
  void regSet(const Line& l);
  void regDelete(const Line& l);
  void regCheckValue(const Line& l);
  void regCheckMissing(const Line& l);
  void regCheckKey(const Line& l);
  void regDump(const Line& l);
  void failCall(const Line& l);
  void failClear(const Line& l);
  void itemRegister(const Line& l);

  // The device's programs and the person's hand.
  void todayStart(const Line& l);
  void todayStop(const Line& l);
  void todayRefresh(const Line& l);
  void todayReload(const Line& l);
  void playerStart(const Line& l);
  void playerClose(const Line& l);
  void waitFor(const Line& l);
  void tap(const Line& l);
  void hold(const Line& l);
  void drag(const Line& l);
  void penAt(const Line& l);
  void menuChoose(const Line& l);
  void menuDismiss(const Line& l);
  void boxAnswer(const Line& l);
  void controlTap(const Line& l);
  void controlType(const Line& l);
  void controlErase(const Line& l);
  void listChoose(const Line& l);
  void fileChoose(const Line& l);
  void fileCancel(const Line& l);
  void optionsOpen(const Line& l);
  void optionsOk(const Line& l);
  void install(const Line& l);
  void uninstall(const Line& l);

  // Checks.
  void checkHeight(const Line& l);
  void checkRefresh(const Line& l);
  void checkItem(const Line& l);
  void checkPlayer(const Line& l);
  void checkRunning(const Line& l);
  void checkMenuAt(const Line& l);
  void checkMenu(const Line& l);
  void checkNoBox(const Line& l);
  void checkBox(const Line& l);
  void checkPixel(const Line& l);
  void checkControlText(const Line& l);
  void checkControlChecked(const Line& l);
  void checkTitle(const Line& l);
  void checkMail(const Line& l);
  void checkResult(const Line& l);
  void checkInstall(const Line& l);

  // What the run leaves behind.
  void screenshot(const Line& l);
  void takeStep(const Line& l);
  void sheet(const Line& l);
  void transcript(const Line& l);
  void echo(const Line& l);

  // The run loop (script.cpp).
  bool feed();
  void runLine();
  void collectProblems(size_t lineNo);
  void fail(size_t lineNo, const std::string& what);

  // Input for the device, recorded as coming from the line running now.
  void push(wince::InputEvent e);
  void pen(wince::InputEvent::Kind kind, long long x, long long y);
  void wait(long long ms);
  void tapAt(POINT p);

  // What is on the screen.
  TodayShell& today();
  TodayShell::Item& item(const std::string& name);
  HWND controlById(long long id);
  HWND topWindow();
  HWND topTitledWindow();
  static std::string textOfWindow(HWND h);

  // The registry's values as messages and the transcript show them.
  static std::string show(const wince::RegistryStore::Value& v);
  std::string settingsText();

  Session& s_;
  std::string file_;
  const std::vector<std::string>& lines_;
  std::ostream& out_;
  std::ostream& err_;
  Rows rows_;
  size_t next_ = 0;
  size_t inputLine_ = 0;  // the line that gave the last input
  int nested_ = 0;
  bool failed_ = false;
  size_t boxesSeen_ = 0;
  INT_PTR lastResult_ = 0;
  bool optionsOpened_ = false;  // an options page was opened (and lastResult_ is how it ended)
  std::vector<SheetFrame> frames_;
  std::ostringstream transcript_;
  std::ostringstream received_;  // the player's commands since the last step, for the transcript
  std::string lastSettings_;
  InstallResult lastInstall_;
  bool installRan_ = false;
};

// The value a reg set or reg check line names: its type and its data,
// padded with zeros to `size N` when the line has it.
wince::RegistryStore::Value valueOf(const Line& l);

// Checks of a line that look at more than one word; they throw ScriptError.
void sizeHoldsData(const Line& l);
void keyIsNoRoot(const Line& l);

}  // namespace crestune::script
