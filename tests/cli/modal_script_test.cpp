// Scripts whose lines act from inside the device's modal loops: the Today
// shell stopped while its item's page, menu or open-file dialog is open, a
// second install while the first one's dialog waits, a line that fails
// while a menu or a dialog is open. Each ends as a script does (0, or 1
// with one line), never with a crash, and the device folder is left shut
// down cleanly with its registry whole.
#include "cli_run.h"

namespace clitest {
namespace {

constexpr const char* kStart =
    "item register \"WMP Crestune\" crestitem.dll order 10\n"
    "today start\n";

TEST_F(CliTest, LinesActingInsideModalLoopsEndTheScriptCleanly) {
  const std::string playing = std::string(kStart) + "player start\nwait 2000\n";
  struct Case {
    const char* what;
    std::string script;
    int status;
    std::string err;  // after "<script>:"
  };
  const Case cases[] = {
      {"install inside install", "install\ninstall\n", 1,
       "2: cannot install Crestune: the installer is already installing Crestune (one installation or removal at a "
       "time)"},
      {"uninstall inside install", "today start\ninstall\nuninstall\n", 1,
       "3: cannot remove Crestune: the installer is already installing Crestune (one installation or removal at a "
       "time)"},
      {"today stop inside the options page",
       std::string(kStart) + "options open \"WMP Crestune\"\ntoday stop\nwait 10\ncheck result 1019\n"
                             "check item \"WMP Crestune\" absent\n",
       0, ""},
      {"today stop inside the open-file dialog",
       std::string(kStart) + "options open \"WMP Crestune\"\ncontrol tap 1018\ntoday stop\nwait 10\n"
                             "check result 1019\n",
       0, ""},
      {"today stop inside the context menu",
       playing + "hold 200 64 1000\ntoday stop\nwait 10\ncheck menu at 200 64\ncheck player nothing\ntoday start\n"
                 "check height \"WMP Crestune\" 36\n",
       0, ""},
      {"a failed check in the context menu", playing + "hold 200 60 1000\ncheck player 0x1234\nmenu dismiss\n", 1,
       "6: expected the player to receive 0x1234, found nothing"},
      {"no such menu entry", playing + "hold 200 60 1000\nmenu choose Nothing-Like-This\n", 1,
       "6: the menu has no entry \"Nothing-Like-This\""},
      {"the script ends in the menu", playing + "hold 200 60 1000\n", 1, "5: a menu was left open"},
      {"a failed check on the options page",
       playing + "options open \"WMP Crestune\"\ncheck control 1009 text zzz\noptions ok\n", 1,
       "6: expected control 1009 to read \"zzz\", found \"Large Buttons\""},
      {"a failed check in the installer's dialog", playing + "install\ncheck control 1 text nope\ncontrol tap 1\n", 1,
       "6: expected control 1 to read \"nope\", found \"OK\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(path("D"));
    Result r = crestune({"run", script("s.crest", c.script).string(), "--device", "D"});
    EXPECT_NE(139, r.status) << "a crash";
    EXPECT_EQ(c.status, r.status) << r.err;
    if (c.err.empty())
      EXPECT_EQ("", r.err);
    else
      EXPECT_EQ(std::vector<std::string>{path("s.crest").string() + ":" + c.err}, r.errLines());
    // The device starts again from what it kept: the item registered, or
    // (the install cancelled) not, and no file of its shutdown left behind.
    const bool registered = c.script.find("item register") != std::string::npos;
    script("again.crest", std::string("reg check \"HKLM\\Software\\Microsoft\\Today\\Items\\WMP Crestune\" ") +
                              (registered ? "present" : "missing") + "\n");
    EXPECT_EQ(crestune({"run", "again.crest", "--device", "D"}).status, 0);
    for (const auto& [name, text] : snapshot(path("D"))) EXPECT_NE(name[0], '.') << name;
  }
}

}  // namespace
}  // namespace clitest
