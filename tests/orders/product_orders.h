// The platform calls the two product libraries make, in order, for each thing
// the Today shell, the person or the installer does to them: one table per
// case, driven by the product suite (tests/product/orders_test.cpp) on every
// platform: the stand-in's hand reads the device's trace, the Win32 one
// records through the libraries' import tables. Only the calls named in
// kWatched are recorded on either side.
#pragma once
#include <stddef.h>

#include <string>
#include <vector>

namespace orders {

// One recorded call, reduced to the arguments the tables speak of: its text
// (a key or value name, a window title, a menu entry, a string drawn or
// shown) and up to three numbers. Which argument goes where is said for each
// call in kWatched. A handle's value differs between runs and is never
// compared with a table; the handle a call makes or takes (kHandles) is
// compared only with the handle of an earlier row (sameAs).
struct Call {
  std::string name;
  std::string text;
  long long a = 0, b = 0, c = 0;
  unsigned long long handle = 0;
};

enum Flags : unsigned {
  kAnyA = 1u,
  kAnyB = 2u,
  kAnyC = 4u,
  kAnyNumbers = kAnyA | kAnyB | kAnyC,
  kOptional = 8u,  // may be missing
  kSameAs = 16u,   // the same handle as the row in the bits from 8 up
};
// The row's call makes or takes the same handle as row `row` of its table:
// the icon drawn is the one loaded there, the font deleted the one made.
constexpr unsigned sameAs(unsigned row) { return kSameAs | (row << 8); }

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
// Which of a watched call's handles is compared by sameAs: the index of the
// argument, or kResult for what the call answers; -1 for calls not listed.
constexpr int kResult = -2;
int handleColumn(const char* call);
extern const Columns kWatched[];
extern const size_t kWatchedCount;
const Columns* watched(const char* call);

// The empty string when `got` follows `table`; otherwise the first place
// where it departs (the row expected and the call found) and then every call
// recorded, one a line.
std::string compare(const std::vector<Call>& got, const Step* table, size_t rows);
std::string describe(const Call& c);

// The cases, in the order they run, each compared with its `steps`.
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
  ItemLifetime,     // the item made with the player up, refreshed, painted and destroyed
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
