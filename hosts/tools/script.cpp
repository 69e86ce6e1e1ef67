// Scenario scripts: the table of commands (each one's shape, usage, what it
// does and the member that runs it), the check of every line before the
// first one runs, and the run loop that feeds the device's modal loops.
#include "script.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <ostream>

#include "script_runner.h"
#include "window_manager.h"

namespace crestune {

namespace script {

namespace {

struct CommandRow {
  const char* usage;  // also the line's shape: see Shape
  const char* about;  // one line, for `crestune help run` and the README
  Handler run;
  void (*verify)(const Line&);  // a check across the line's words, or null
};

const CommandRow kCommands[] = {
    {"reg set KEY NAME dword N [size N]",
     "writes a DWORD value (NAME @ is the default value; size pads the data with zeros to N bytes)", &Runner::regSet,
     sizeHoldsData},
    {"reg set KEY NAME sz TEXT [size N]", "writes a string value", &Runner::regSet, sizeHoldsData},
    {"reg set KEY NAME hex BYTES [size N]", "writes a binary value, its bytes as pairs of hex digits (01ff)",
     &Runner::regSet, sizeHoldsData},
    {"reg delete KEY [NAME]", "deletes a value, or a key with everything below it", &Runner::regDelete, keyIsNoRoot},
    {"reg check KEY NAME dword N [size N]", "checks a DWORD value", &Runner::regCheckValue, sizeHoldsData},
    {"reg check KEY NAME sz TEXT [size N]", "checks a string value: its text, or with size its exact data",
     &Runner::regCheckValue, sizeHoldsData},
    {"reg check KEY NAME hex BYTES [size N]", "checks a binary value: its first bytes, or with size all of them",
     &Runner::regCheckValue, sizeHoldsData},
    {"reg check KEY NAME missing", "checks that a value is not there", &Runner::regCheckMissing, nullptr},
    {"reg check KEY present|missing", "checks a key", &Runner::regCheckKey, nullptr},
    {"reg dump", "prints the registry as REGEDIT5 text", &Runner::regDump, nullptr},
    {"item register NAME DLL [enabled N] [order N] [options N]", "registers a Today item as the package does",
     &Runner::itemRegister, nullptr},
    {"fail CALL [error N] [times N] [after N]",
     "the product's next calls of a platform function fail as the platform documents (after N calls that run, "
     "times N of them, with error N or the call's usual one)",
     &Runner::failCall, nullptr},
    {"fail clear", "drops the failures still planned", &Runner::failClear, nullptr},

    {"today start", "starts the Today shell", &Runner::todayStart, nullptr},
    {"today stop", "stops the Today shell", &Runner::todayStop, nullptr},
    {"today refresh", "asks every Today item for its height now", &Runner::todayRefresh, nullptr},
    {"today reload", "reloads the Today items from the registry", &Runner::todayReload, nullptr},
    {"player start", "starts the substitute player", &Runner::playerStart, nullptr},
    {"player start PLAYER",
     "starts the substitute player as the remote of a desktop player: PLAYER is mpris (the first MPRIS player on the "
     "session bus) or mpris:NAME",
     &Runner::playerStart, nullptr},
    {"player close", "closes the player as its user would", &Runner::playerClose, nullptr},
    {"wait MS", "lets device time pass (the Today shell asks its items every 2000 ms)", &Runner::waitFor, nullptr},
    {"tap X Y", "taps the screen at a point in screen coordinates", &Runner::tap, nullptr},
    {"hold X Y MS", "holds the pen down for MS milliseconds", &Runner::hold, nullptr},
    {"drag X1 Y1 X2 Y2", "puts the pen down, moves it and lifts it", &Runner::drag, nullptr},
    {"pen down|move|up X Y", "one move of the pen", &Runner::penAt, nullptr},
    {"menu choose TEXT", "chooses an entry of the open popup menu", &Runner::menuChoose, nullptr},
    {"menu dismiss", "closes the open popup menu without a choice", &Runner::menuDismiss, nullptr},
    {"box answer OK|Cancel|Yes|No", "answers the open message box", &Runner::boxAnswer, nullptr},
    {"control tap ID", "taps a control of the dialog on top", &Runner::controlTap, nullptr},
    {"control type ID TEXT", "taps a control of the dialog on top and types into it", &Runner::controlType,
     nullptr},
    {"control erase ID COUNT", "taps a control of the dialog on top and erases COUNT characters at its end",
     &Runner::controlErase, nullptr},
    {"list choose TEXT", "picks an entry of the open drop-down list", &Runner::listChoose, nullptr},
    {"file choose PATH", "answers the open-file dialog with a file", &Runner::fileChoose, nullptr},
    {"file cancel", "cancels the open-file dialog", &Runner::fileCancel, nullptr},
    {"options open ITEM", "opens an item's options page as the Today settings do", &Runner::optionsOpen, nullptr},
    {"options ok", "taps the ok of the navigation bar", &Runner::optionsOk, nullptr},
    {"install [CAB]",
     "installs a CAB (default: the package of the build the device runs, Crestune.ARM.CAB or with --native "
     "Crestune.CAB) as the device's installer does (the lines after it answer its dialog)",
     &Runner::install, nullptr},
    {"uninstall [CAB]", "removes the package of a CAB (default: the build's own) as the device's installer does",
     &Runner::uninstall, nullptr},

    {"check height ITEM PIXELS", "the height the Today shell has for the item", &Runner::checkHeight, nullptr},
    {"check refresh ITEM true|false", "what the item answered to the Today shell's last refresh query",
     &Runner::checkRefresh, nullptr},
    {"check item ITEM shown|absent", "whether the Today shell shows the item", &Runner::checkItem, nullptr},
    {"check player nothing", "the player received nothing since the last check", &Runner::checkPlayer, nullptr},
    {"check player [MSG...]",
     "what the player received since the last check: 0x80C8, or 0x0111:0x9C4B:0x2D14C8 with wParam and lParam",
     &Runner::checkPlayer, nullptr},
    {"check running|stopped player", "whether the player runs", &Runner::checkRunning, nullptr},
    {"check menu at X Y", "where the last menu was asked to open", &Runner::checkMenuAt, nullptr},
    {"check menu [ENTRY...]", "the entries of the last menu (- for a separator)", &Runner::checkMenu, nullptr},
    {"check box none", "no message box was shown that a check has not taken", &Runner::checkNoBox, nullptr},
    {"check box TEXT [caption CAPTION]", "the next message box shown", &Runner::checkBox, nullptr},
    {"check pixel X Y RRGGBB", "a pixel of the screen", &Runner::checkPixel, nullptr},
    {"check control ID text TEXT", "the text of a control of the dialog on top", &Runner::checkControlText,
     nullptr},
    {"check control ID checked|unchecked", "whether a button of the dialog on top is checked",
     &Runner::checkControlChecked, nullptr},
    {"check title TEXT", "the title of the window on top", &Runner::checkTitle, nullptr},
    {"check mail ADDRESS", "the last address the mail program was asked to open", &Runner::checkMail, nullptr},
    {"check result N", "how the last options page ended", &Runner::checkResult, nullptr},
    {"check installed|cancelled", "how the last install or uninstall ended", &Runner::checkInstall, nullptr},

    {"screenshot FILE [scale N]", "writes the screen as PNG", &Runner::screenshot, nullptr},
    {"step CAPTION", "a screenshot with its caption, kept for the contact sheet and the transcript",
     &Runner::takeStep, nullptr},
    {"sheet FILE TITLE [STEP...]", "writes a contact sheet of the steps (all, or the ones named)", &Runner::sheet,
     nullptr},
    {"transcript FILE", "writes what the player received and how the settings changed, step by step",
     &Runner::transcript, nullptr},
    {"echo [TEXT...]", "prints a line", &Runner::echo, nullptr},
};

// The rows' shapes, in the table's order.
const std::vector<Shape>& shapes() {
  static const std::vector<Shape> all = [] {
    std::vector<Shape> s;
    for (const CommandRow& row : kCommands) s.emplace_back(row.usage);
    return s;
  }();
  return all;
}

// The byte-order mark a UTF-8 file may begin with.
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// A line's text without the byte-order mark the file may begin with.
std::string_view textOf(const std::vector<std::string>& lines, size_t i) {
  std::string_view text = lines[i];
  if (i == 0 && text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  return text;
}

// Why a line is no text a script may hold: bytes that are not UTF-8, a NUL
// (which would end a key's or a value's name on the device), a byte-order
// mark past the start of the file.
std::string textProblem(const std::vector<std::string>& lines, size_t i) {
  std::string problem = textLineProblem(lines[i], std::string::npos);
  if (!problem.empty()) return problem;
  size_t bom = lines[i].find(kBom, i == 0 ? 1 : 0);
  if (bom != std::string::npos)
    return "a byte-order mark (EF BB BF) at column " + std::to_string(bom + 1) +
           ": only the start of the file may have one";
  return {};
}

// Every line against the table; the first line that is not text, or fits
// no row (or whose words do not agree with each other), is reported and
// nothing is answered.
bool checkLines(const std::string& fileName, const std::vector<std::string>& lines, std::ostream& err, Rows& rows) {
  static_assert(std::size(kCommands) < kNoCommand, "a row's number fits a byte");
  rows.assign(lines.size(), kNoCommand);
  for (size_t i = 0; i < lines.size(); ++i) {
    try {
      std::string problem = textProblem(lines, i);
      if (!problem.empty()) throw ScriptError(problem);
      std::vector<std::string> words = splitWords(textOf(lines, i));
      if (words.empty()) continue;
      size_t row = chooseShape(shapes(), words);
      if (kCommands[row].verify) kCommands[row].verify(shapes()[row].read(std::move(words)));
      rows[i] = static_cast<uint8_t>(row);
    } catch (const std::invalid_argument& e) {  // an unclosed quote
      err << fileName << ":" << (i + 1) << ": " << oneLine(e.what()) << "\n";
      return false;
    } catch (const ScriptError& e) {
      err << fileName << ":" << (i + 1) << ": " << oneLine(e.what()) << "\n";
      return false;
    }
  }
  return true;
}

}  // namespace

int Runner::run(Rows rows) {
  rows_ = std::move(rows);
  // The player's commands go into the transcript as they arrive, and only
  // when the script writes one: a long run that writes none keeps nothing
  // of them.
  if (std::any_of(rows_.begin(), rows_.end(),
                  [](uint8_t row) { return row != kNoCommand && kCommands[row].run == &Runner::transcript; }))
    s_.player().setRecorder([this](const PlayerMessage& m) {
      received_ << "  player received " << describe(m) << " " << commandName(m) << "\n";
    });
  // What the player says of a desktop player it passes commands on to: a
  // problem on the terminal, everything in the transcript.
  s_.player().setNotes([this](const PlayerNote& n) {
    (n.problem ? err_ : out_) << n.text << "\n";
    received_ << "  " << n.text << "\n";
  });
  auto& input = s_.device().input();
  input.setFeeder([this] { return feed(); });
  while (!failed_ && next_ < lines_.size()) runLine();
  input.setFeeder(nullptr);
  s_.player().setRecorder(nullptr);
  s_.player().setNotes(nullptr);
  if (!failed_) collectProblems(lines_.size());
  return failed_ ? 1 : 0;
}

// A modal loop of the device waits for input: run the script on until a
// line gives some.
bool Runner::feed() {
  if (failed_) return false;
  ++nested_;
  while (!failed_ && next_ < lines_.size()) {
    runLine();
    if (!s_.device().input().empty()) break;
  }
  --nested_;
  return !failed_ && !s_.device().input().empty();
}

void Runner::runLine() {
  size_t lineNo = next_++;
  const uint8_t row = rows_[lineNo];
  if (row == kNoCommand) return;
  try {
    // The line is read again as the check read it: only its row is kept
    // between the two.
    const Line line = shapes()[row].read(splitWords(textOf(lines_, lineNo)));
    (this->*kCommands[row].run)(line);
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
void Runner::collectProblems(size_t lineNo) {
  for (const std::string& p : s_.device().takeProblems()) fail(std::max(lineNo, inputLine_), p);
}

void Runner::fail(size_t lineNo, const std::string& what) {
  if (failed_) return;
  failed_ = true;
  // Problems found after the last line are reported at the last line.
  size_t shown = lines_.empty() ? 0 : std::min(lineNo, lines_.size() - 1);
  err_ << file_ << ":" << (shown + 1) << ": " << oneLine(what) << "\n";
}

}  // namespace script

bool checkScript(const std::string& fileName, const std::vector<std::string>& lines, std::ostream& err) {
  script::Rows rows;
  return script::checkLines(fileName, lines, err, rows);
}

int runScript(Session& session, const std::string& fileName, const std::vector<std::string>& lines, std::ostream& out,
              std::ostream& err, InstallResult* lastInstall) {
  script::Rows rows;
  if (!script::checkLines(fileName, lines, err, rows)) return 1;
  script::Runner runner(session, fileName, lines, out, err);
  const int status = runner.run(std::move(rows));
  if (lastInstall) *lastInstall = runner.lastInstall_;
  return status;
}

void writeScriptCommands(std::ostream& out) {
  for (const script::CommandRow& row : script::kCommands) out << "  " << row.usage << "\n      " << row.about << "\n";
}

}  // namespace crestune
