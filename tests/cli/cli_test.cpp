// The crestune program against bad input: each mistake is one line on
// stderr and a non-zero exit, a device folder it refuses is left as it
// was, what a device folder holds never runs as host code, and no script
// ends the program with a signal.
#include <sys/stat.h>

#include <algorithm>
#include <functional>

#include "cli_run.h"

namespace clitest {
namespace {

// The synopsis crestune prints after a command-line mistake: the lines of
// its help up to the first that is not part of it.
std::string synopsisFrom(const std::string& help) {
  std::istringstream in(help);
  std::string s;
  for (std::string l; std::getline(in, l) && (l.rfind("usage:", 0) == 0 || l.rfind("       crestune", 0) == 0);)
    s += l + "\n";
  return s;
}

const char* const kItemKey = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";

TEST_F(CliTest, CommandLineMistakesGiveOneLineAndTheUsage) {
  std::string usage = synopsisFrom(crestune({"--help"}).out);
  ASSERT_NE(usage, "");
  struct Case {
    Words args;
    std::string error;
  };
  const Case cases[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command frobnicate"},
      {{"--bogus"}, "unknown option --bogus"},
      {{"run", "x.crest", "--bogus"}, "unknown option --bogus"},
      {{"run"}, "run needs a script"},
      {{"run", "a.crest", "b.crest"}, "run takes one script, found 2"},
      {{"run", "x.crest", "--device"}, "--device needs a folder"},
      {{"run", "x.crest", "--out", ""}, "--out needs a folder"},
      {{"run", "x.crest", "--device", "a", "--device", "b"}, "--device is given twice"},
      {{"run", "x.crest", "--cancel"}, "run does not take --cancel"},
      {{"demo", "extra"}, "demo takes no arguments, found extra"},
      {{"demo", "--device", "d"}, "demo does not take --device"},
      {{"demo", "--language", "french"}, "--language takes english or spanish, found french"},
      {{"install"}, "install needs --device DIR (a device that lives on)"},
      {{"uninstall", "--device", "d", "--language", "spanish"}, "uninstall does not take --language"},
      {{"interactive", "--scale", "9"}, "--scale takes 1, 2, 3 or 4, found 9"},
      {{"interactive", "--player", "vlc"}, "--player takes mpris or mpris:NAME, found vlc"},
      {{"help", "frobnicate"}, "unknown command frobnicate"},
      {{"help", "run", "demo"}, "help takes one command, found 2"},
      {{"bench", "now"}, "bench takes no arguments, found now"},
      {{"bench", "--json"}, "--json needs a file"},
      {{"bench", "--build", "mips"}, "--build takes arm, native or both, found mips"},
      {{"bench", "--filter", "zzz"},
       "--filter zzz matches no operation (the operations: refresh_query, paint_title, paint_buttons, tap, script_tap, hold_menu, "
       "options, install_uninstall, demo, png_screenshot, interactive_frame)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    Result r = crestune(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "crestune: " + c.error + "\n" + usage);
    EXPECT_EQ(r.out, "");
  }
  // None of them made a device or an output folder.
  EXPECT_FALSE(fs::exists(path("d")));
  EXPECT_FALSE(fs::exists(path("a")));
}

// A check of something that never happened fails and says what did not,
// after the lines before it ran; and nothing is written: a contact sheet of
// no steps is refused, not announced.
TEST_F(CliTest, AFailedCheckNamesItsLineAndWhatDidNotHappen) {
  const std::pair<std::string, std::string> cases[] = {
      {"check installed", "expected the last install or uninstall installed, but no install or uninstall ran"},
      {"check cancelled", "expected the last install or uninstall cancelled, but no install or uninstall ran"},
      {"check result 0", "expected the options page to end with 0, but no options page was opened"},
      {"check menu", "expected a menu, but none was shown"},
      {"check menu at 0 0", "expected a menu, but none was shown"},
      {"check box Hello", "expected a message box \"Hello\", but none was shown"},
      {"check mail a@b.c", "expected a mail message to a@b.c, but none was opened"},
      {"sheet s.png Title", "expected steps for the contact sheet (take them with step CAPTION), found none"},
  };
  for (const auto& [line, error] : cases) {
    SCOPED_TRACE(line);
    script("s.crest", "echo first\n" + line + "\necho after\n");
    Result r = crestune({"run", "s.crest"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "s.crest:2: " + error + "\n");
    EXPECT_EQ(r.out, "first\n");
    EXPECT_EQ(snapshot(dir_).size(), 1u) << "a file besides the script: an output only announced";
  }
}

TEST_F(CliTest, ARefusedDeviceFolderIsLeftAsItWas) {
  writeFile(path("plain"), "not a folder\n");
  fs::create_directory(path("busy"));
  writeFile(path("busy/notes.txt"), "mine\n");
  fs::create_directory(path("damaged"));
  writeFile(path("damaged/registry.reg"),
            "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\X]\n\"A\"=dword:zz\n");
  script("s.crest", "echo hello\n");
  struct Case {
    std::string device, error;
  };
  const Case cases[] = {
      {"plain", "crestune: plain: not a device folder (not a folder)"},
      {"plain/sub", "crestune: plain/sub: not a device folder (Not a directory)"},
      {"busy", "crestune: busy: not a device folder (it has files but no registry.reg)"},
      {"damaged", "crestune: damaged/registry.reg: line 4: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    auto before = snapshot(dir_);
    for (const Words& args : {Words{"run", "s.crest", "--device", c.device}, Words{"install", "--device", c.device},
                              Words{"uninstall", "--device", c.device}}) {
      Result r = crestune(args);
      EXPECT_EQ(r.status, 1);
      ASSERT_EQ(r.errLines().size(), 1u) << r.err;
      EXPECT_EQ(r.errLines()[0].substr(0, c.error.size()), c.error);
      EXPECT_EQ(snapshot(dir_), before);
    }
  }
}

// What a script leaves behind goes only over a regular file (through a
// symbolic link, to its target) or where there is none: anything else is
// refused with one line and left as it was.
TEST_F(CliTest, OutputFilesAreWrittenOnlyOverRegularFiles) {
  const std::string steps = "step one\nstep two\n";
  struct Case {
    std::string line;  // writes "out"
    std::string start;  // the output's first bytes
  } writers[] = {
      {"screenshot out", "\x89PNG"},
      {"sheet out Title", "\x89PNG"},
      {"transcript out", "step 1: one"},
  };
  struct Kind {
    const char* what;
    std::function<void(const fs::path&)> make;
    std::string refusal;  // empty: written
  } kinds[] = {
      {"no file", [](const fs::path&) {}, ""},
      {"a link to a file",
       [](const fs::path& d) {
         writeFile(d / "target", "old");
         fs::create_symlink("target", d / "out");
       },
       ""},
      {"a FIFO", [](const fs::path& d) { ::mkfifo((d / "out").c_str(), 0644); }, "it is a FIFO, not a regular file"},
      {"a folder", [](const fs::path& d) { fs::create_directory(d / "out"); }, "it is a folder, not a regular file"},
  };
  for (const Case& w : writers) {
    for (const Kind& k : kinds) {
      SCOPED_TRACE(w.line + " over " + k.what);
      fs::remove_all(path("o"));
      fs::create_directory(path("o"));
      k.make(path("o"));
      script("s.crest", steps + w.line + "\n");
      Result r = crestune({"run", "s.crest", "--out", "o"});
      if (k.refusal.empty()) {
        EXPECT_EQ(r.status, 0) << r.err;
        const fs::path written = fs::is_symlink(path("o/out")) ? path("o/target") : path("o/out");
        EXPECT_EQ(readFile(written).substr(0, w.start.size()), w.start);
        EXPECT_EQ(fs::is_symlink(path("o/out")), std::string(k.what) == "a link to a file");
      } else {
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "s.crest:3: cannot write o/out: " + k.refusal + "\n");
        EXPECT_EQ(k.refusal.find("FIFO") != std::string::npos, fs::is_fifo(path("o/out")));
      }
    }
  }
}

// A full disk is said, in one line with the system's reason, and no file
// is left half written: the transcript as the screenshot.
TEST_F(CliTest, AFullDiskIsReportedAndLeavesNoHalfFile) {
  // The device is made first: under the limit only the output is written.
  script("make.crest", "item register \"WMP Crestune\" crestitem.dll order 10\n");
  ASSERT_EQ(crestune({"run", "make.crest", "--device", "D"}).status, 0);
  std::string taps = "today start\nplayer start\nwait 2000\n";
  for (int i = 0; i < 40; ++i) taps += "tap 41 60\nwait 100\n";
  const std::pair<std::string, std::string> cases[] = {
      {"transcript t.txt", "t.txt"},
      {"screenshot t.png", "t.png"},
  };
  for (const auto& [line, file] : cases) {
    SCOPED_TRACE(line);
    script("s.crest", taps + line + "\n");
    Result r = crestuneOnAFullDisk({"run", "s.crest", "--device", "D"}, 1);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "s.crest:84: cannot write " + path(file).string() + ": File too large\n");
    EXPECT_FALSE(fs::exists(path(file)));
    for (const auto& [name, _] : snapshot(dir_)) EXPECT_NE(name[0], '.') << name;
  }
}

// The transcript holds the whole run: what came after the last step, with
// no step at all everything, and more commands between two steps than the
// player keeps in memory.
TEST_F(CliTest, TheTranscriptHoldsTheWholeRun) {
  const std::string start = "item register \"WMP Crestune\" crestitem.dll order 10\ntoday start\nplayer start\nwait 2000\n";
  const std::string play = "tap 41 60\nwait 100\n";
  const std::string registered = "  registry: Today item registered; settings absent\n";
  auto times = [](int n, const std::string& text) {
    std::string all;
    for (int i = 0; i < n; ++i) all += text;
    return all;
  };
  struct Case {
    std::string script, transcript;
  } cases[] = {
      {start + play, "from the start:\n  player received 0x80C8 (Play)\n" + registered},
      {start + "step one\n" + play,
       "step 1: one\n" + registered + "after step 1:\n  player received 0x80C8 (Play)\n"},
      {start + play + "step one\n", "step 1: one\n  player received 0x80C8 (Play)\n" + registered},
      {start + "step before\n" + times(1100, "tap 41 60\n") + "step after\n",
       "step 1: before\n" + registered + "step 2: after\n" + times(1100, "  player received 0x80C8 (Play)\n")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script.substr(start.size(), 40));
    script("s.crest", c.script + "transcript t.txt\n");
    Result r = crestune({"run", "s.crest"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(path("t.txt")), c.transcript);
  }
}

// What a script sets and what install and uninstall do live on in the
// device folder, and a check that fails changes nothing there; without
// --device each run has a fresh device.
TEST_F(CliTest, TheRegistryAndTheInstallationLiveOnInTheDeviceFolder) {
  const std::string key = std::string("\"") + kItemKey + "\"";
  script("set.crest", "reg set " + key + " Language dword 0\n");
  script("english.crest", "reg check " + key + " Language dword 0\n");
  script("spanish.crest", "reg check " + key + " Language dword 1\n");
  script("gone.crest", "reg check " + key + " missing\n");
  ASSERT_EQ(crestune({"run", "set.crest", "--device", "D"}).status, 0);
  EXPECT_EQ(crestune({"run", "english.crest", "--device", "D"}).status, 0);
  Result install = crestune({"install", "--device", "D", "--language", "spanish"});
  ASSERT_EQ(install.status, 0) << install.err;
  EXPECT_EQ(crestune({"run", "spanish.crest", "--device", "D"}).status, 0);
  auto before = snapshot(path("D"));
  Result wrong = crestune({"run", "english.crest", "--device", "D"});
  EXPECT_EQ(wrong.status, 1);
  EXPECT_EQ(wrong.err, "english.crest:1: expected Language = dword 0 size 4, found dword 1 size 4\n");
  EXPECT_EQ(snapshot(path("D")), before);
  EXPECT_EQ(crestune({"run", "spanish.crest"}).status, 1);
  ASSERT_EQ(crestune({"uninstall", "--device", "D"}).status, 0);
  EXPECT_EQ(crestune({"run", "gone.crest", "--device", "D"}).status, 0);
  // Nothing left to remove is said in the command line's words.
  Result again = crestune({"uninstall", "--device", "D"});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(again.err, "crestune: uninstall: Crestune is not installed on the device.\n");
  EXPECT_EQ(again.out, "");
}

// The item registered from the build's library, then the package installed
// over it: the installed copy is the same library, and the one module the
// item window runs on stays loaded.
TEST_F(CliTest, InstallingOverTheItemRegisteredFromTheBuildsLibraryRunsToTheEnd) {
  script("s.crest",
         "item register \"WMP Crestune\" crestitem.dll\n"
         "today start\n"
         "install\n"
         "control tap 1\n"
         "check installed\n"
         "check item \"WMP Crestune\" shown\n"
         "player start\n"
         "wait 2000\n"
         "check height \"WMP Crestune\" 28\n"
         "install\n"
         "control tap 1\n"
         "today reload\n"
         "options open \"WMP Crestune\"\n"
         "options ok\n"
         "uninstall\n"
         "check installed\n"
         "check item \"WMP Crestune\" absent\n"
         "item register \"WMP Crestune\" crestitem.dll\n"
         "today reload\n"
         "check item \"WMP Crestune\" shown\n");
  for (const Words& args : {Words{"run", "s.crest"}, Words{"run", "s.crest", "--device", "D"}}) {
    Result r = crestune(args);
    EXPECT_EQ(r.status, 0) << "over 128: a signal\n" << r.err;
    EXPECT_EQ(r.err, "");
  }
}

// A device folder whose Today item names a shared object out of the folder,
// or that holds one in the place of the item's library: the shell says that
// the item is not loaded, in each program that starts it, and the shared
// object's code never runs.
TEST_F(CliTest, NoLibraryOfTheDeviceFolderOrOutOfItRunsAsHostCode) {
  const fs::path mark = path("mark");
  setenv("CRESTUNE_HOSTCODE_MARK", mark.c_str(), 1);
  fs::create_directories(path("x"));
  fs::copy_file(CRESTUNE_HOSTCODE, path("x") / "evil.so");
  std::string out = path("x").relative_path().string();
  std::replace(out.begin(), out.end(), '/', '\\');
  const std::string up = "..\\..\\..\\..\\..\\..\\..\\..\\..\\..\\" + out + "\\evil.so";
  const std::string kNotADevicePath =
      " is not a path of the device (a device path has no \"..\" or \".\", drive, share or host path)";
  const char* const kItems = "\"HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune\"";
  const std::string notThisBuild =
      "is not loaded: \\Windows\\crestitem.dll is not a library of this build (a file of the device folder is not "
      "run as host code)";
  struct Case {
    std::string dll;     // the item's DLL value
    bool copyInWindows;  // hostcode.so as \Windows\crestitem.dll
    std::string said;    // after the item's name
  } cases[] = {
      {up, false, "is not loaded: " + up + kNotADevicePath},
      {path("x/evil.so").string(), false, "is not loaded: " + path("x/evil.so").string() + kNotADevicePath},
      {"\\Windows\\crestitem.dll", true, notThisBuild},
      {"crestitem.dll", true, notThisBuild},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dll);
    fs::remove_all(path("D"));
    ASSERT_EQ(crestune({"install", "--device", "D"}).status, 0);
    script("set.crest", std::string("reg set ") + kItems + " DLL sz \"" + c.dll + "\"\n");
    ASSERT_EQ(crestune({"run", "set.crest", "--device", "D"}).status, 0);
    if (c.copyInWindows)
      fs::copy_file(CRESTUNE_HOSTCODE, path("D/Windows/crestitem.dll"), fs::copy_options::overwrite_existing);
    const std::string said = "today: the item \"WMP Crestune\" " + c.said;
    script("today.crest", "today start\ncheck item \"WMP Crestune\" absent\n");
    Result today = crestune({"run", "today.crest", "--device", "D"});
    EXPECT_EQ(today.status, 0) << today.err;
    EXPECT_EQ(today.errLines(), Words{said});
    // The removal starts the shell too.
    Result uninstall = crestune({"uninstall", "--device", "D"});
    EXPECT_EQ(uninstall.status, 0) << uninstall.err;
    EXPECT_EQ(uninstall.errLines(), Words{said});
  }
  EXPECT_FALSE(fs::exists(mark)) << readFile(mark);
  unsetenv("CRESTUNE_HOSTCODE_MARK");
}

}  // namespace
}  // namespace clitest
