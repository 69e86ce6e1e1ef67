// Finding the player through the .wmv association, and the path the setup
// library writes from it into the first settings.
#include <gtest/gtest.h>

#include "device.h"
#include "registry_store.h"
#include "setup.h"

namespace {

const char* kSettingsKey = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";

class Association : public ::testing::Test {
 public:
  wince::Device device{wince::DeviceOptions{}};
  wince::RegistryStore& reg() { return device.registry(); }
  void associate(const std::string& className, const std::string& command) {
    reg().deleteKey("HKCR\\.wmv");
    reg().setValue("HKCR\\.wmv", "", REG_SZ, wince::RegistryStore::stringBytes(className));
    reg().setValue("HKCR\\" + className + "\\Shell\\Open\\Command", "", REG_SZ,
                   wince::RegistryStore::stringBytes(command));
  }
  std::u16string written() {
    auto v = reg().getValue(kSettingsKey, "WMPApplication");
    EXPECT_TRUE(v);
    EXPECT_EQ(2048u, v->bytes.size());
    std::u16string text(reinterpret_cast<const char16_t*>(v->bytes.data()));
    // Behind the path and its terminator there is nothing but zeros.
    for (size_t i = (text.size() + 1) * 2; i < v->bytes.size(); ++i)
      if (v->bytes[i]) {
        ADD_FAILURE() << "byte " << i << " behind the path is not zero";
        break;
      }
    return text;
  }
};

TEST_F(Association, CommandLinesReduceToTheProgram) {
  struct Case {
    const char* command;
    const char16_t* path;
  } cases[] = {
      {"\"\\Program Files\\Media Player\\wmp.exe\" \"%1\"", u"\\Program Files\\Media Player\\wmp.exe"},
      {"\"\\Windows\\wmplayer.exe", u"\\Windows\\wmplayer.exe"},  // no closing quote
      {"\\Windows\\wmplayer.exe /play %1", u"\\Windows\\wmplayer.exe"},
      {"\\Program Files\\wmp.exe", u"\\Program"},  // unquoted, cut at the first space
      {" \\Windows\\wmplayer.exe", u""},            // starts with a space: the empty path
      {"wmplayer.exe", u"wmplayer.exe"},
  };
  for (const Case& c : cases) {
    associate("WMVFile", c.command);
    WriteInitialSettings();
    EXPECT_EQ(std::u16string(c.path), written()) << c.command;
  }
}

// A .wmv key that names no class the command can be found under.
TEST_F(Association, WithoutAnAssociationTheDefaultProgramIsWritten) {
  const struct {
    const char* what;
    const char* name;  // of the one value of HKCR\.wmv
    std::string data;
  } cases[] = {
      {"no class name", "Other", "x"},
      {"class name too long for the command key", "", std::string(1010, 'c')},
  };
  for (const auto& c : cases) {
    reg().deleteKey("HKCR\\.wmv");
    reg().setValue("HKCR\\.wmv", c.name, REG_SZ, wince::RegistryStore::stringBytes(c.data));
    WriteInitialSettings();
    EXPECT_EQ(u"wmplayer.exe", written()) << c.what;
  }
}

TEST_F(Association, AnUnterminatedCommandEndsInsideTheBuffer) {
  reg().deleteKey("HKCR\\.wmv");
  reg().setValue("HKCR\\.wmv", "", REG_SZ, wince::RegistryStore::stringBytes("WMVFile"));
  std::vector<uint8_t> command(2048, 0);
  for (size_t i = 0; i < command.size(); i += 2) command[i] = 'q';
  reg().setValue("HKCR\\WMVFile\\Shell\\Open\\Command", "", REG_SZ, command);
  WCHAR path[PATH_UNITS];
  ASSERT_TRUE(FindPlayerFromAssociation(path));
  EXPECT_EQ(std::u16string(1023, u'q'), std::u16string(path));
}

TEST_F(Association, TheDevicesOwnAssociationNamesItsPlayer) {
  WriteInitialSettings();
  EXPECT_EQ(u"\\Windows\\wmplayer.exe", written());
}

}  // namespace
