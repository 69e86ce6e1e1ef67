// Stand-in only (its CAB installer host and trace).
// Installing and removing the package through the CAB installer: the
// language chooser, the first settings, and the clean-up around both, the
// item leaving the Today screen.
#include "fixture.h"

#include <algorithm>
#include <filesystem>

#include "installer.h"

namespace crestune::testing {
namespace {

constexpr int kLanguageList = 1000;

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
};

TEST_F(Setup, OkReadsTheChoiceThenWritesSizePathAndLanguageInOneKey) {
  traceOn();
  install({[&] { queueTapOnControl(IDOK); }});
  Calls calls = traceOff();
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
    install({[&] { queueTapOnControl(kLanguageList); },
             [&] {
               const auto* list = windows().openDropDownList();
               EXPECT_TRUE(list && *list == (std::vector<std::u16string>{u"English", u"Español"}));
               device().input().push({wince::InputEvent::Kind::ChooseList, {}, 0, 0, language});
             },
             [&] { queueTapOnControl(IDCANCEL); }});
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(0, windows().dialogsShown().back().result);
    EXPECT_EQ(before, reg().exportText());
    EXPECT_FALSE(installer.installed());
    EXPECT_FALSE(std::filesystem::exists(device().hostPath(u"\\Windows\\crestitem.dll")));
  }
}

TEST_F(Setup, UninstallRemovesBothKeysRefreshesWaitsAndTheItemLeavesTheTodayScreen) {
  install({[&] { queueTapOnControl(IDOK); }});
  ASSERT_TRUE(result.completed) << result.message;
  session.startToday();
  ASSERT_TRUE(item());
  traceOn();
  uint64_t start = device().clock().now();
  uninstall();
  Calls calls = traceOff();
  EXPECT_TRUE(result.completed) << result.message;
  EXPECT_GE(device().clock().now() - start, 2000u);
  // One wait of two seconds (the calls' order is the order tables', remove).
  EXPECT_EQ(1, std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return starts(c, "Sleep(2000)"); }))
      << text(calls);
  EXPECT_FALSE(reg().keyExists(kItemKey));
  EXPECT_FALSE(reg().keyExists(kSettingsKey));
  EXPECT_FALSE(installer.installed());
  EXPECT_EQ(nullptr, item());
  EXPECT_TRUE(windows().messageBoxes().empty());
}

}  // namespace
}  // namespace crestune::testing
