// Stand-in only (its CAB installer host and trace).
// Installing and removing the package through the CAB installer: the
// language chooser, the first settings, the clean-up around both, and the
// Today item that results.
#include "fixture.h"

#include <filesystem>

#include "installer.h"

namespace crestune::testing {
namespace {

constexpr int kLanguageList = 1000;
const std::string kRegistration = "\"Software\\Microsoft\\Today\\Items\\WMP Crestune\"";
const std::string kSettings = "\"SOFTWARE\\Halvorn\\WMP Crestune\"";
const std::string kBroadcast = "SendMessageW(0xffff, 26, 242, 0)";

class Setup : public StrictDeviceTest {
 protected:
  Installer installer;
  InstallResult result;

  // Installs with the person's hand on the language chooser.
  void install(const std::vector<HandAction>& actions) {
    whileOpen([&] { return (result = installer.install()), INT_PTR{0}; }, actions);
  }
  void uninstall(const std::vector<HandAction>& actions = {}) {
    whileOpen([&] { return (result = installer.uninstall()), INT_PTR{0}; }, actions);
  }
  // Two actions: open the list, pick an entry.
  std::vector<HandAction> choose(const char16_t* language) {
    return {[this] { queueTapOnControl(kLanguageList); },
            [this, language] {
              const auto* list = windows().openDropDownList();
              EXPECT_TRUE(list && *list == (std::vector<std::u16string>{u"English", u"Español"}));
              device().input().push({wince::InputEvent::Kind::ChooseList, {}, 0, 0, language});
            }};
  }
  void installChoosing(const char16_t* language) {
    std::vector<HandAction> hand = language ? choose(language) : std::vector<HandAction>{};
    hand.push_back([this] { queueTapOnControl(IDOK); });
    install(hand);
    ASSERT_TRUE(result.completed) << result.message;
  }
  // Calls recorded between traceOn() and traceOff().
  Calls calls;
  // Indexes of the recorded calls that begin with `prefix`.
  std::vector<size_t> callsStarting(const std::string& prefix) {
    std::vector<size_t> at;
    for (size_t i = 0; i < calls.size(); ++i)
      if (starts(calls[i], prefix)) at.push_back(i);
    return at;
  }
};

TEST_F(Setup, OkReadsTheChoiceThenWritesSizePathAndLanguageInOneKey) {
  traceOn();
  install({[&] { queueTapOnControl(IDOK); }});
  calls = traceOff();
  size_t at = 0;
  while (at < calls.size() && !starts(calls[at], "RegCreateKeyExW(")) ++at;
  ASSERT_LT(at, calls.size()) << text(calls);
  // The calls' order is the order tables' (install); here, the arguments
  // they leave out.
  Calls rest(calls.begin() + static_cast<long>(at), calls.end());
  ASSERT_GE(rest.size(), 12u) << text(calls);
  EXPECT_EQ("RegCreateKeyExW(HKEY_LOCAL_MACHINE, \"SOFTWARE\\Halvorn\\WMP Crestune\", 0, NULL, 0, 0, NULL) = 0", rest[0]);
  EXPECT_NE(std::string::npos, rest[1].find("\"IconSize\", 0, 4, ")) << rest[1];
  EXPECT_TRUE(starts(rest[2], "RegOpenKeyExW(HKEY_CLASSES_ROOT, \".wmv\", 0, 0)")) << rest[2];
  EXPECT_NE(std::string::npos, rest[3].find(", NULL, NULL, NULL, ")) << rest[3];
  EXPECT_NE(std::string::npos, rest[3].find(", 2048) = 0")) << rest[3];
  EXPECT_NE(std::string::npos, rest[5].find("\\Shell\\Open\\Command\", 0, 0) = 0")) << rest[5];
  EXPECT_NE(std::string::npos, rest[8].find("\"WMPApplication\", 0, 1, ")) << rest[8];
  EXPECT_NE(std::string::npos, rest[8].find(", 2048) = 0")) << rest[8];
  EXPECT_NE(std::string::npos, rest[9].find("\"Language\", 0, 4, ")) << rest[9];
  EXPECT_TRUE(starts(rest[11], "EndDialog(") && rest[11].find(", 1) = 1") != std::string::npos) << rest[11];
}

TEST_F(Setup, CancelInEitherLanguageWritesNothingAndStopsTheInstallation) {
  for (const char16_t* language : {u"English", u"Español"}) {
    SCOPED_TRACE(wince::narrow(language));
    std::string before = reg().exportText();
    std::vector<HandAction> hand = choose(language);
    hand.push_back([&] { queueTapOnControl(IDCANCEL); });
    install(hand);
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(0, windows().dialogsShown().back().result);
    EXPECT_EQ(before, reg().exportText());
    EXPECT_FALSE(installer.installed());
    EXPECT_FALSE(std::filesystem::exists(device().hostPath(u"\\Windows\\crestitem.dll")));
  }
}

TEST_F(Setup, UninstallRemovesBothKeysRefreshesWaitsAndTheItemLeavesTheTodayScreen) {
  installChoosing(nullptr);
  session.startToday();
  ASSERT_TRUE(item());
  traceOn();
  uint64_t start = device().clock().now();
  uninstall();
  calls = traceOff();
  EXPECT_TRUE(result.completed) << result.message;
  EXPECT_GE(device().clock().now() - start, 2000u);
  std::vector<size_t> registration = callsStarting("RegDeleteKeyW(HKEY_LOCAL_MACHINE, " + kRegistration + ") = 0");
  std::vector<size_t> settings = callsStarting("RegDeleteKeyW(HKEY_LOCAL_MACHINE, " + kSettings + ")");
  std::vector<size_t> broadcast = callsStarting(kBroadcast);
  std::vector<size_t> slept = callsStarting("Sleep(2000)");
  ASSERT_EQ(1u, registration.size()) << text(calls);
  ASSERT_EQ(1u, settings.size()) << text(calls);
  ASSERT_EQ(1u, broadcast.size()) << text(calls);
  ASSERT_EQ(1u, slept.size()) << text(calls);
  EXPECT_LT(broadcast[0], slept[0]) << "the wait comes after the broadcast (the rest of the order is the tables')";
  EXPECT_FALSE(reg().keyExists(kItemKey));
  EXPECT_FALSE(reg().keyExists(kSettingsKey));
  EXPECT_FALSE(installer.installed());
  EXPECT_EQ(nullptr, item());
  EXPECT_TRUE(windows().messageBoxes().empty());
}

TEST_F(Setup, TheInstalledItemShowsInTheChosenLanguageAndOptionsKeepIt) {
  session.player().start();
  session.startToday();
  ASSERT_EQ(nullptr, item());
  installChoosing(u"Español");
  // Install_Exit's refresh request made the shell load the new item.
  ASSERT_TRUE(item());
  EXPECT_EQ(28u, item()->record.cyp);  // IconSize 32 reads as standard buttons
  queueMenuAnswer(wince::InputEvent::Kind::DismissMenu);
  windows().runUntilIdle();
  ASSERT_FALSE(windows().menusShown().empty());
  const auto& entries = windows().menusShown().back().entries;
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(u"Silencio", entries.front());
  EXPECT_EQ(u"Cerrar Windows Media Player", entries.back());

  INT_PTR ended = openOptions({[&] {
    EXPECT_EQ(u"Configuración", windowText(openDialogWindow()));
    EXPECT_EQ(BST_CHECKED, SendMessageW(GetDlgItem(openDialogWindow(), 1006), BM_GETCHECK, 0, 0));
    queueTapOnDone();
  }});
  EXPECT_EQ(IDOK, ended);
  EXPECT_EQ(1u, storedDword(kSettingsKey, "Language"));
  EXPECT_EQ(0u, storedDword(kSettingsKey, "IconSize"));
  nextRefresh();
  EXPECT_EQ(28u, item()->record.cyp);
}

}  // namespace
}  // namespace crestune::testing
