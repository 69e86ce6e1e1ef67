// The item's settings in the registry: what a load makes of a key without a
// path or with a bad one, and what a save keeps and reads back.
#include <gtest/gtest.h>

#include "crestitem.h"
#include "device.h"
#include "registry_store.h"

namespace {

const char* kKey = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeHeapString(&g_ItemContext.playerPath);
    g_ItemContext.playIconSize = 32;
    g_ItemContext.otherIconSize = 24;
    g_ItemContext.language = 0;
  }
  void TearDown() override { FreeHeapString(&g_ItemContext.playerPath); }
  wince::RegistryStore& reg() { return device.registry(); }
  void setDword(const char* name, DWORD v) { reg().setValue(kKey, name, REG_DWORD, wince::RegistryStore::dwordBytes(v)); }
  std::u16string path() const { return g_ItemContext.playerPath ? g_ItemContext.playerPath : u"<none>"; }
  wince::Device device{wince::DeviceOptions{}};
};

TEST_F(Settings, AKeyWithoutAPathGivesTheEmptyPath) {
  setDword("IconSize", 1);
  setDword("Language", 0);
  LoadSettings(&g_ItemContext);
  EXPECT_EQ(u"", path());
}

TEST_F(Settings, BadStoredPathsNeverOverrunTheBuffer) {
  // Longer than the buffer, exactly filling it without a terminator, and a
  // value of the wrong type: each yields at most 1023 characters.
  std::string longPath(3000, 'a');
  reg().setValue(kKey, "WMPApplication", REG_SZ, wince::RegistryStore::stringBytes(longPath));
  LoadSettings(&g_ItemContext);
  EXPECT_EQ(std::u16string(1023, u'a'), path());

  std::vector<uint8_t> unterminated(2048, 0);
  for (size_t i = 0; i < unterminated.size(); i += 2) unterminated[i] = 'b';
  reg().setValue(kKey, "WMPApplication", REG_SZ, unterminated);
  LoadSettings(&g_ItemContext);
  EXPECT_EQ(std::u16string(1023, u'b'), path());

  reg().setValue(kKey, "WMPApplication", REG_DWORD, wince::RegistryStore::dwordBytes(0x410041));
  reg().setValue(kKey, "IconSize", REG_SZ, wince::RegistryStore::stringBytes("1"));
  LoadSettings(&g_ItemContext);
  EXPECT_EQ(u"AA", path());
  EXPECT_EQ(24, g_ItemContext.playIconSize);
  EXPECT_EQ(0, device.accounting().live(wince::ObjectKind::Key));
}

TEST_F(Settings, SaveWithoutAPathKeepsTheStoredOne) {
  reg().setValue(kKey, "WMPApplication", REG_SZ, wince::RegistryStore::stringBytes("keep.exe"));
  SaveSettings(&g_ItemContext);
  EXPECT_EQ(wince::RegistryStore::stringBytes("keep.exe"), reg().getValue(kKey, "WMPApplication")->bytes);
}

TEST_F(Settings, SaveAndLoadRoundTripTheLongestPath) {
  std::u16string longest(1023, u'p');
  g_ItemContext.playerPath = CopyHeapString(longest.c_str());
  g_ItemContext.playIconSize = 24;
  SaveSettings(&g_ItemContext);
  FreeHeapString(&g_ItemContext.playerPath);
  LoadSettings(&g_ItemContext);
  EXPECT_EQ(longest, path());
  EXPECT_EQ(24, g_ItemContext.playIconSize);
}

TEST(Strings, BothTablesAreCompleteAndTheFilterListsEndTwice) {
  for (const LPCWSTR* table : {EnglishStrings, SpanishStrings}) {
    for (int i = 0; i < UI_STRING_COUNT; ++i) EXPECT_TRUE(table[i] && table[i][0]) << i;
    // Four strings, then the empty one that ends the list.
    const char16_t* p = table[UI_OPEN_FILE_FILTER];
    for (int i = 0; i < 4; ++i) p += std::char_traits<char16_t>::length(p) + 1;
    EXPECT_EQ(0, *p);
  }
  EXPECT_EQ(std::u16string(u"Programas (*.EXE)"),
            SpanishStrings[UI_OPEN_FILE_FILTER] + std::char_traits<char16_t>::length(u"Windows Media Player") + 7);
}

}  // namespace
