// What the installer hook does when a platform call fails under it, one
// test a failure it documents (docs/failure-rows.md lists them): what the
// person sees, what the registry holds afterwards, and whether the
// installation or removal goes on.
#include "fixture.h"

#include "installer.h"

namespace crestune::testing {
namespace {

using Kind = wince::InputEvent::Kind;

class SetupFailure : public StrictDeviceTest {
 protected:
  Installer installer;
  InstallResult result;
  // Installs, confirming the language dialog if it shows.
  void install(bool dialogShows = true) {
    std::vector<HandAction> hand;
    if (dialogShows) hand.push_back([&] { queueTapOnControl(IDOK); });
    whileOpen([&] { return (result = installer.install()), INT_PTR{0}; }, hand);
  }
};

TEST_F(SetupFailure, AReinstallGoesOnWhenTheOldRegistrationCannotBeDeleted) {
  install();
  ASSERT_TRUE(result.completed) << result.message;
  plan().add("RegDeleteKeyW");
  install();
  EXPECT_TRUE(plan().empty());
  EXPECT_TRUE(result.completed) << result.message;
  EXPECT_TRUE(windows().messageBoxes().empty());
  EXPECT_TRUE(reg().keyExists(kItemKey));
}

// Template 101 not found, not loaded, or the dialog not made: the
// installation is cancelled before anything is written.
TEST_F(SetupFailure, ALanguageDialogThatCannotShowCancelsTheInstallation) {
  for (const char* call : {"FindResourceW", "LoadResource", "DialogBoxIndirectParamW"}) {
    SCOPED_TRACE(call);
    const std::string before = reg().exportText();
    plan().add(call);
    install(false);
    EXPECT_TRUE(plan().empty());
    EXPECT_TRUE(result.cancelled);
    EXPECT_FALSE(result.completed);
    EXPECT_EQ(before, reg().exportText());
    EXPECT_TRUE(windows().messageBoxes().empty());
    EXPECT_FALSE(installer.installed());
  }
}

TEST_F(SetupFailure, ARegistrationThatCannotBeDeletedStopsTheRemovalAndKeepsTheSettings) {
  install();
  ASSERT_TRUE(result.completed) << result.message;
  const std::string before = reg().exportText();
  const uint64_t start = device().clock().now();
  plan().add("RegDeleteKeyW");
  device().input().push(wince::InputEvent{Kind::AnswerBox, {}, 0, IDOK, {}});
  result = installer.uninstall();
  EXPECT_TRUE(result.cancelled);
  EXPECT_FALSE(result.completed);
  ASSERT_EQ(1u, windows().messageBoxes().size());
  const auto& box = windows().messageBoxes()[0];
  EXPECT_EQ(u"RemoveTodayItem()", box.text);
  EXPECT_EQ(u"Uninstall WMP Crestune Error", box.caption);
  EXPECT_TRUE(box.owner) << "owned by the installer's window";
  EXPECT_EQ(before, reg().exportText()) << "both keys kept";
  EXPECT_EQ(start, device().clock().now()) << "no wait";
  EXPECT_TRUE(installer.installed());
}

TEST_F(SetupFailure, ASettingsKeyThatCannotBeDeletedDoesNotStopTheRemoval) {
  install();
  plan().add("RegDeleteKeyW", 0, 1, 1);  // the registration goes, the settings key does not
  result = installer.uninstall();
  EXPECT_TRUE(result.completed) << result.message;
  EXPECT_TRUE(windows().messageBoxes().empty());
  EXPECT_FALSE(reg().keyExists(kItemKey));
  EXPECT_TRUE(reg().keyExists(kSettingsKey));
}

// The first settings not written: nothing is said, the installation goes
// on, and the item runs on its defaults.
TEST_F(SetupFailure, ASettingsKeyThatCannotBeMadeWritesNothingAndTheInstallationGoesOn) {
  plan().add("RegCreateKeyExW");
  install();
  EXPECT_TRUE(plan().empty());
  EXPECT_TRUE(result.completed) << result.message;
  EXPECT_TRUE(windows().messageBoxes().empty());
  EXPECT_FALSE(reg().keyExists(kSettingsKey));
  EXPECT_TRUE(reg().keyExists(kItemKey));
  // The item comes up on its defaults.
  session.player().start();
  session.startToday();
  ASSERT_TRUE(item());
  EXPECT_EQ(36u, item()->record.cyp) << "large Play";
}

TEST_F(SetupFailure, AValueThatCannotBeWrittenLeavesTheOthersWritten) {
  plan().add("RegSetValueExW");  // the first of the three
  install();
  EXPECT_TRUE(result.completed) << result.message;
  int written = 0;
  for (const char* name : {"IconSize", "WMPApplication", "Language"}) written += reg().getValue(kSettingsKey, name) ? 1 : 0;
  EXPECT_EQ(2, written);
  EXPECT_TRUE(windows().messageBoxes().empty());
}

}  // namespace
}  // namespace crestune::testing
