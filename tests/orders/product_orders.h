// The platform calls the two product libraries make, in order, for each thing
// the Today shell, the person or the installer does to them: one table per
// case, shared by the stand-in's tests (which read the device's trace) and
// the Win32 test host under Wine (which records through the libraries' import
// tables). Only the calls named in kWatched are recorded on either side.
#pragma once
#include <stddef.h>

#include <string>
#include <vector>

namespace orders {

// One recorded call, reduced to the arguments the tables speak of: its text
// (a key or value name, a window title, a menu entry, a string drawn or
// shown) and up to three numbers. Which argument goes where is said for each
// call in kWatched; handles never appear, since they differ between runs.
struct Call {
  std::string name;
  std::string text;
  long long a = 0, b = 0, c = 0;
};

enum Flags : unsigned {
  kAnyA = 1u,
  kAnyB = 2u,
  kAnyC = 4u,
  kAnyNumbers = kAnyA | kAnyB | kAnyC,
  kOptional = 8u,  // may be missing
};

// One expected call. A null text matches any text.
struct Step {
  const char* call;
  const char* text;
  long long a, b, c;
  unsigned flags;
};

// What a watched call's columns hold: the index of the argument (in the
// call's own parameter order) that goes to text, a, b and c, or -1.
struct Columns {
  const char* call;
  int text, a, b, c;
};
extern const Columns kWatched[];
extern const size_t kWatchedCount;
const Columns* watched(const char* call);

// The empty string when `got` follows `table`; otherwise the first place
// where it departs (the row expected and the call found) and then every call
// recorded, one a line.
std::string compare(const std::vector<Call>& got, const Step* table, size_t rows);
std::string describe(const Call& c);

// The cases, in the order both sides run them. Each side drives the case its
// own way (see the tests) and compares what it recorded with `steps`.
enum class Action {
  StartItem,        // InitializeCustomItem on a Today window, no player running
  RefreshAway,      // the refresh query with no player window
  RefreshPlayer,    // the refresh query once the player window is up
  PaintTitle,       // repaint with no player: the title view
  PaintButtons,     // repaint with the player up: the buttons view
  TapButton,        // pen down and up on button `arg` (0 Play .. 4 Next)
  TapTitle,         // pen down and up on the title, the stored player missing
  HoldMenu,         // tap-and-hold on empty space, menu entry `arg` chosen
  Command,          // WM_COMMAND `arg` sent to the item window
  OptionsConfirm,   // the options page opened, then confirmed with its "ok"
  Install,          // Install_Init and Install_Exit, English kept, first time
  Reinstall,        // the same again over the installed package
  Remove,           // Uninstall_Init and Uninstall_Exit
};
struct Case {
  const char* name;
  Action action;
  int arg;
  const Step* steps;
  size_t rows;
};
extern const Case kCases[];
extern const size_t kCaseCount;

}  // namespace orders
