// crestune: the command line of the emulated device.
//
// Exit status: 0 when the command did what it was asked, 1 when it ran and
// failed (a failed check, a damaged device folder, a script that cannot be
// read), 2 when the command line itself is wrong. Every failure is one line
// on stderr; a wrong command line adds the usage.
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bench.h"
#include "demo.h"
#include "device_error.h"
#include "installer.h"
#include "interactive.h"
#include "mpris_bridge.h"
#include "product_names.h"
#include "script.h"
#include "session.h"

namespace {

namespace fs = std::filesystem;

// The commands as help shows them: what follows "crestune NAME" in the
// synopsis, and one line of what the command does.
struct CommandHelp {
  const char* name;
  const char* arguments;
  const char* about;
};

const CommandHelp kCommandHelp[] = {
    {"demo", "[--language english|spanish] [--out DIR] [--native]",
     "the whole story on a fresh device: screenshots, a contact sheet, a transcript"},
    {"run", "SCRIPT [--device DIR] [--out DIR] [--native]", "run the scenario script SCRIPT on the emulated device"},
    {"install", "--device DIR [--cab FILE] [--language english|spanish] [--cancel] [--native]",
     "install a CAB (default: the build's own Crestune package) as the device's installer does"},
    {"uninstall", "--device DIR [--cab FILE] [--native]", "remove the package again"},
    {"interactive",
     "[--device DIR] [--scale N] [--screenshot-on-exit FILE] [--transcript FILE] [--screenshots DIR] "
     "[--player mpris[:NAME]] [--native]",
     "the device in a desktop window: the mouse is the pen"},
    {"bench", "[--quick] [--json FILE] [--compare FILE] [--filter NAME] [--build arm|native|both]",
     "time the device's everyday operations: median, minimum, operations per second"},
    {"help", "[COMMAND]", "this text, or one command's (help run adds the commands of a script)"},
};

const char* kOptions =
    "options:\n"
    "  --device DIR                keep the device in DIR between runs (default: a fresh temporary device)\n"
    "  --out DIR                   where screenshots and the demo's files go (default: the current folder;\n"
    "                              demo-output for demo)\n"
    "  --language L                the language chosen while installing: english or spanish\n"
    "  --cab FILE                  the CAB to install or whose package to remove (default: Crestune.ARM.CAB\n"
    "                              beside the build's libraries, Crestune.CAB with --native)\n"
    "  --native                    run the host build (Crestune.CAB, x86-64 natively) instead of the device\n"
    "                              build (Crestune.ARM.CAB, ARM on the emulated StrongARM)\n"
    "  --cancel                    cancel the installation in its language dialog\n"
    "  --scale N                   window pixels per device pixel, 1 to 4 (default 2)\n"
    "  --screenshot-on-exit FILE   write the last frame of the window as PNG\n"
    "  --transcript FILE           write what the player received, a command a line, and its state\n"
    "  --screenshots DIR           F12 in the window writes the screen there (shot-1.png, ...)\n"
    "  --player mpris[:NAME]       the player passes its commands on to the desktop's MPRIS player NAME\n"
    "                              (default: the first on the session bus) and shows what it plays\n"
    "  --quick                     a few short runs of each operation (proves the bench runs)\n"
    "  --json FILE                 write the bench's figures as JSON\n"
    "  --compare FILE              the Wine run's figures (win32/bench.sh) beside the stand-in's, with the ratio\n"
    "                              (with --build both: the three builds in one table)\n"
    "  --filter NAME               only the operations whose name holds NAME\n"
    "  --build B                   the build the bench times: arm (the device build, default), native (the host\n"
    "                              build) or both (the host build's figures beside the device build's)\n";

std::string synopsisLine(const CommandHelp& c, bool first) {
  return std::string(first ? "usage: " : "       ") + "crestune " + c.name + " " + c.arguments + "\n";
}

std::string aboutLine(const CommandHelp& c) {
  std::string name = c.name;
  return "  " + name + std::string(name.size() < 14 ? 14 - name.size() : 1, ' ') + c.about + "\n";
}

std::string synopsis() {
  std::string s;
  for (const CommandHelp& c : kCommandHelp) s += synopsisLine(c, s.empty());
  return s;
}

std::string details() {
  std::string s = "commands:\n";
  for (const CommandHelp& c : kCommandHelp) s += aboutLine(c);
  return s + kOptions;
}

struct UsageError {
  std::string what;
};

// What a command accepts: how many words after it, and which options.
struct CommandShape {
  size_t positional;
  const char* positionalName;
  std::set<std::string> options;
};

const std::map<std::string, CommandShape>& commands() {
  static const std::map<std::string, CommandShape> all = {
      {"demo", {0, nullptr, {"--language", "--out", "--native"}}},
      {"run", {1, "a script", {"--device", "--out", "--native"}}},
      {"install", {0, nullptr, {"--device", "--cab", "--language", "--cancel", "--native"}}},
      {"uninstall", {0, nullptr, {"--device", "--cab", "--native"}}},
      {"interactive",
       {0, nullptr, {"--device", "--scale", "--screenshot-on-exit", "--transcript", "--screenshots", "--player", "--native"}}},
      {"bench", {0, nullptr, {"--quick", "--json", "--compare", "--filter", "--build"}}},
  };
  return all;
}

// The options that take a value, and what the value is.
const std::map<std::string, const char*>& valueOptions() {
  static const std::map<std::string, const char*> all = {
      {"--device", "a folder"},   {"--out", "a folder"},          {"--language", "english or spanish"},
      {"--scale", "1, 2, 3 or 4"}, {"--screenshot-on-exit", "a file"}, {"--transcript", "a file"},
      {"--screenshots", "a folder"}, {"--player", "mpris or mpris:NAME"}, {"--json", "a file"}, {"--compare", "a file"}, {"--filter", "a name"},
      {"--cab", "a CAB file"}, {"--build", "arm, native or both"},
  };
  return all;
}

struct CommandLine {
  std::string command;
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // flags map to ""
  bool has(const std::string& o) const { return options.count(o) != 0; }
  std::string get(const std::string& o, const std::string& otherwise = {}) const {
    auto it = options.find(o);
    return it == options.end() ? otherwise : it->second;
  }
};

CommandLine parse(const std::vector<std::string>& args) {
  CommandLine cl;
  cl.command = args[0];
  auto shape = commands().find(cl.command);
  if (shape == commands().end()) {
    if (cl.command.rfind("-", 0) == 0) throw UsageError{"unknown option " + cl.command};
    throw UsageError{"unknown command " + cl.command};
  }
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 1 && a[0] == '-') {
      auto value = valueOptions().find(a);
      if (value == valueOptions().end() && a != "--cancel" && a != "--quick" && a != "--native") throw UsageError{"unknown option " + a};
      if (!shape->second.options.count(a)) throw UsageError{cl.command + " does not take " + a};
      if (cl.has(a)) throw UsageError{a + " is given twice"};
      std::string v;
      if (value != valueOptions().end()) {
        if (i + 1 >= args.size() || args[i + 1].empty() || args[i + 1].rfind("--", 0) == 0)
          throw UsageError{a + " needs " + value->second};
        v = args[++i];
      }
      cl.options[a] = v;
    } else {
      cl.positional.push_back(a);
    }
  }
  const CommandShape& s = shape->second;
  if (cl.positional.size() != s.positional) {
    if (s.positional == 0) throw UsageError{cl.command + " takes no arguments, found " + cl.positional[0]};
    if (cl.positional.empty()) throw UsageError{cl.command + " needs " + s.positionalName};
    throw UsageError{cl.command + " takes one " + std::string(s.positionalName).substr(2) + ", found " +
                     std::to_string(cl.positional.size())};
  }
  if (cl.has("--language") && cl.get("--language") != "english" && cl.get("--language") != "spanish")
    throw UsageError{"--language takes english or spanish, found " + cl.get("--language")};
  if (cl.has("--scale")) {
    const std::string& v = cl.options["--scale"];
    if (v.size() != 1 || v[0] < '1' || v[0] > '4') throw UsageError{"--scale takes 1, 2, 3 or 4, found " + v};
  }
  if (cl.has("--build") && cl.get("--build") != "arm" && cl.get("--build") != "native" && cl.get("--build") != "both")
    throw UsageError{"--build takes arm, native or both, found " + cl.get("--build")};
  if (cl.has("--player") && !crestune::mprisChoice(cl.get("--player")))
    throw UsageError{"--player takes mpris or mpris:NAME, found " + cl.get("--player")};
  if (cl.has("--filter") && !crestune::benchFilterMatches(cl.get("--filter"))) {
    std::string names;
    for (const crestune::BenchOperation& op : crestune::benchOperations()) names += std::string(names.empty() ? "" : ", ") + op.name;
    throw UsageError{"--filter " + cl.get("--filter") + " matches no operation (the operations: " + names + ")"};
  }
  if ((cl.command == "install" || cl.command == "uninstall") && !cl.has("--device"))
    throw UsageError{cl.command + " needs --device DIR (a device that lives on)"};
  return cl;
}

// The script's lines; throws DeviceError naming the file (and the line)
// when it cannot be read or is not a text file. Reading stops at the first
// line that is not text, so a device or a binary file is refused at once.
std::vector<std::string> readScript(const std::string& file) {
  constexpr size_t kMaxLine = 64 * 1024, kMaxLines = 100000;
  std::error_code ec;
  if (fs::is_directory(file, ec)) throw wince::DeviceError("cannot read script " + file + ": it is a folder");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw wince::DeviceError("cannot read script " + file + ": " + std::strerror(errno));
  std::vector<std::string> lines;
  std::string line;
  for (int c; (c = in.get()) != EOF;) {
    if (c != '\n') {
      line += static_cast<char>(c);
      // A line is judged as soon as it is too long, not when it ends.
      if (line.size() <= kMaxLine && c != 0) continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string problem = crestune::textLineProblem(line, kMaxLine);
    if (!problem.empty())
      throw wince::DeviceError(file + ":" + std::to_string(lines.size() + 1) + ": not a text file: " + problem);
    if (lines.size() == kMaxLines)
      throw wince::DeviceError(file + ": more than " + std::to_string(kMaxLines) + " lines");
    lines.push_back(std::move(line));
    line.clear();
  }
  if (!line.empty()) {
    std::string problem = crestune::textLineProblem(line, kMaxLine);
    if (!problem.empty())
      throw wince::DeviceError(file + ":" + std::to_string(lines.size() + 1) + ": not a text file: " + problem);
    lines.push_back(std::move(line));
  }
  if (in.bad()) throw wince::DeviceError("cannot read script " + file + ": " + std::strerror(errno));
  return lines;
}

// The output folder, made if needed.
fs::path outputFolder(const std::string& dir) {
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec || !fs::is_directory(dir))
    throw wince::DeviceError(dir + ": cannot make the output folder (" +
                             (ec ? ec.message() : std::string("not a folder")) + ")");
  return fs::path(dir);
}

int run(const CommandLine& cl) {
  const std::string device = cl.get("--device");
  const crestune::Build build = cl.has("--native") ? crestune::Build::Native : crestune::Build::Arm;
  if (cl.command == "interactive") {
    // The frame's buttons do what a person would do on the device; the
    // dialogs they open are answered in the window.
    crestune::InteractiveHooks hooks;
    hooks.options = [](crestune::Session& s) {
      if (s.today()) s.today()->openOptions(ITEM_NAME);
    };
    hooks.install = [](crestune::Session&) {
      crestune::Installer().install();
    };
    hooks.uninstall = [](crestune::Session&) {
      crestune::Installer().uninstall();
    };
    // The Player button starts the player as the desktop player's remote.
    if (cl.has("--player"))
      hooks.player = [name = *crestune::mprisChoice(cl.get("--player"))](crestune::Session& s) {
        s.player().start(crestune::openMprisBridge(name, s.player().notes()));
      };
    crestune::InteractiveOptions options;
    options.device = device;
    options.build = build;
    if (cl.has("--scale")) options.scale = cl.get("--scale")[0] - '0';
    options.screenshotOnExit = cl.get("--screenshot-on-exit");
    options.transcript = cl.get("--transcript");
    options.screenshots = cl.get("--screenshots");
    return crestune::runInteractive(options, hooks);
  }
  if (cl.command == "bench") {
    crestune::BenchOptions options;
    options.quick = cl.has("--quick");
    options.json = cl.get("--json");
    options.compare = cl.get("--compare");
    options.filter = cl.get("--filter");
    using Builds = crestune::BenchOptions::Builds;
    const std::string b = cl.get("--build", "arm");
    options.builds = b == "native" ? Builds::Native : b == "both" ? Builds::Both : Builds::Arm;
    return crestune::runBench(options, std::cout, std::cerr);
  }
  if (cl.command == "run") {
    const std::string& script = cl.positional[0];
    std::vector<std::string> lines = readScript(script);
    // A script that cannot run is refused before any folder is made.
    if (!crestune::checkScript(script, lines, std::cerr)) return 1;
    fs::path out = cl.has("--out") ? outputFolder(cl.get("--out")) : fs::path();
    crestune::Session session(device, build);
    if (!out.empty()) session.outputFolder = out;
    int status = crestune::runScript(session, script, lines, std::cout, std::cerr);
    if (status == 0) std::cout << "ok: " << script << "\n";
    return status;
  }
  if (cl.command == "demo") {
    fs::path folder = outputFolder(cl.get("--out", "demo-output"));
    crestune::Session session({}, build);
    session.outputFolder = folder;
    std::cout << "Crestune 1.0, " << crestune::buildDescription(build) << "\n";
    bool spanish = cl.get("--language") == "spanish";
    int status = crestune::runScript(session, "demo", crestune::demoScript(spanish), std::cout, std::cerr);
    if (status == 0)
      std::cout << "The demo ran to the end. Its files are in " << fs::absolute(folder).string()
                << ": contact-sheet.png, transcript.txt and one screenshot a step.\n";
    return status;
  }
  // install, uninstall: the person's answers to the language dialog, as
  // script lines that run while it is open.
  // A CAB given is named as the script's word, quoted; a name holding a
  // quote could not be.
  const std::string cab = cl.get("--cab");
  if (cab.find('"') != std::string::npos) throw wince::DeviceError(cab + ": a CAB file name with a quote in it");
  std::vector<std::string> lines = {cl.has("--cab") ? cl.command + " \"" + cab + "\"" : cl.command};
  bool cancel = cl.has("--cancel");
  if (cl.command == "install") {
    if (cl.get("--language") == "spanish") lines.insert(lines.end(), {"control tap 1000", "list choose Español"});
    lines.push_back(cancel ? "control tap 2" : "control tap 1");
  }
  crestune::Session session(device, build);
  session.startToday();
  // What the installer tells the person is the command's answer: on the
  // terminal when it did what was asked, else the one line of its failure.
  crestune::InstallResult result;
  std::ostringstream said;
  const int status = crestune::runScript(session, cl.command, lines, said, std::cerr, &result);
  if (status == 0 && !(cancel ? result.cancelled : result.completed)) {
    std::cerr << "crestune: " << cl.command << ": " << crestune::oneLine(result.message) << "\n";
    return 1;
  }
  std::cout << said.str();
  return status;
}

// `crestune help COMMAND`: the command's synopsis and what it does; for
// run, every command a script may use.
void helpFor(const std::vector<std::string>& args) {
  if (args.size() > 2) throw UsageError{"help takes one command, found " + std::to_string(args.size() - 1)};
  for (const CommandHelp& c : kCommandHelp) {
    if (args[1] != c.name) continue;
    std::cout << synopsisLine(c, true) << aboutLine(c);
    if (args[1] == "run") {
      std::cout << "script commands, one a line (# starts a comment; double quotes group words):\n";
      crestune::writeScriptCommands(std::cout);
    }
    return;
  }
  throw UsageError{"unknown command " + args[1]};
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) {
    std::cerr << "crestune: no command given\n" << synopsis();
    return 2;
  }
  bool help = args[0] == "help";
  for (const std::string& a : args) help = help || a == "--help" || a == "-h";
  CommandLine cl;
  try {
    if (help && args[0] == "help" && args.size() > 1 && args[1].rfind("-", 0) != 0) {
      helpFor(args);
      return 0;
    }
    if (help) {
      std::cout << synopsis() << details();
      return 0;
    }
    cl = parse(args);
  } catch (const UsageError& e) {
    std::cerr << "crestune: " << crestune::oneLine(e.what) << "\n" << synopsis();
    return 2;
  }
  try {
    return run(cl);
  } catch (const std::exception& e) {
    std::cerr << "crestune: " << crestune::oneLine(e.what()) << "\n";
    return 1;
  }
}
