// The device's side of the registry: the factory contents, the helpers of
// the scripting tool, handle accounting and the registry file in the device
// folder.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "device.h"
#include "device_error.h"
#include "registry_store.h"
#include "standin/temp_folder.h"

using namespace standin;  // TempDir, fs and the file helpers
using wince::RegistryStore;
using Value = RegistryStore::Value;
using namespace std::literals;

namespace {

std::vector<uint8_t> utf16(const std::u16string& s, bool terminator = true) {
  std::vector<uint8_t> b;
  for (char16_t c : s) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
  if (terminator) b.insert(b.end(), {0, 0});
  return b;
}

TEST(RegistryDevice, KeyHandlesAreCountedUntilClosed) {
  wince::Device dev(wince::DeviceOptions{});
  auto& acc = dev.accounting();
  HKEY a = NULL, b = NULL, c = NULL;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\X", 0, NULL, 0, 0, NULL, &a, NULL));
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\X", 0, 0, &b));
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(a, NULL, 0, 0, &c));
  EXPECT_EQ(3, acc.live(wince::ObjectKind::Key));

  // Failed opens acquire nothing; a deleted key's handle is still counted.
  HKEY none = NULL;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Y", 0, 0, &none));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\X"));
  EXPECT_EQ(3, acc.live(wince::ObjectKind::Key));

  for (HKEY h : {a, b, c}) EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(h));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(b));
  // The predefined keys are no handles of their own.
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
  EXPECT_EQ(0, acc.live(wince::ObjectKind::Key));
}

TEST(RegistryDevice, ScriptingHelpers) {
  wince::Device dev(wince::DeviceOptions{});
  auto& reg = dev.registry();

  auto kp = RegistryStore::parseKeyPath("hklm\\SOFTWARE\\Halvorn\\");
  EXPECT_EQ(HKEY_LOCAL_MACHINE, kp.root);
  EXPECT_EQ(u"SOFTWARE\\Halvorn\\", kp.subKey);
  EXPECT_EQ(HKEY_CURRENT_USER, RegistryStore::parseKeyPath("HKEY_CURRENT_USER").root);
  EXPECT_THROW(RegistryStore::parseKeyPath("HKXX\\SOFTWARE"), wince::DeviceError);
  EXPECT_THROW(RegistryStore::parseKeyPath("HKLM\\A\\\\B"), wince::DeviceError);
  EXPECT_THROW(reg.getValue("SOFTWARE\\X", "V"), wince::DeviceError);

  reg.setValue("HKLM\\SOFTWARE\\Halvorn\\WMP Crestune", "IconSize", REG_DWORD, RegistryStore::dwordBytes(1));
  EXPECT_TRUE(reg.keyExists("HKEY_LOCAL_MACHINE\\software\\halvorn"));
  EXPECT_EQ(std::vector<std::string>{"WMP Crestune"}, reg.subkeys("HKLM\\SOFTWARE\\Halvorn"));
  EXPECT_EQ((Value{REG_DWORD, {1, 0, 0, 0}}), reg.getValue("HKLM\\SOFTWARE\\Halvorn\\WMP Crestune", "iconsize"));

  // What the helpers write, the API reads.
  HKEY k = NULL;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Halvorn\\WMP Crestune", 0, 0, &k));
  DWORD v = 0, size = 4;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(k, u"IconSize", NULL, NULL, (BYTE*)&v, &size));
  EXPECT_EQ(1u, v);
  RegCloseKey(k);

  EXPECT_TRUE(reg.deleteValue("HKLM\\SOFTWARE\\Halvorn\\WMP Crestune", "IconSize"));
  EXPECT_FALSE(reg.deleteValue("HKLM\\SOFTWARE\\Halvorn\\WMP Crestune", "IconSize"));
  EXPECT_FALSE(reg.getValue("HKLM\\SOFTWARE\\Halvorn\\WMP Crestune", "IconSize"));
  EXPECT_TRUE(reg.deleteKey("HKLM\\SOFTWARE\\Halvorn"));
  EXPECT_FALSE(reg.keyExists("HKLM\\SOFTWARE\\Halvorn\\WMP Crestune"));
  EXPECT_FALSE(reg.deleteKey("HKLM\\SOFTWARE\\Halvorn"));
  EXPECT_THROW(reg.deleteKey("HKLM"), wince::DeviceError);
  EXPECT_TRUE(reg.subkeys("HKLM\\Missing").empty());

  // Stored text reads back up to its terminator; a stray last byte is no character.
  EXPECT_EQ(u"Caf\u00e9 \U0001F3B5", RegistryStore::textOf(RegistryStore::stringBytes("Caf\u00e9 \U0001F3B5")));
  EXPECT_EQ(u"a", RegistryStore::textOf(utf16(u"a\0b"s)));
  EXPECT_EQ(u"ab", RegistryStore::textOf({'a', 0, 'b', 0, 'c'}));
  EXPECT_EQ(u"", RegistryStore::textOf({}));
}

// Every kind of value, including those that only hex keeps exact.
struct Sample {
  std::string name;
  DWORD type;
  std::vector<uint8_t> bytes;
};

std::vector<Sample> samples() {
  std::vector<uint8_t> padded = utf16(u"\\Program Files\\Player\\wmplayer.exe");
  padded.resize(2048, 0);
  std::vector<uint8_t> full = utf16(u"x", false);
  while (full.size() < 2048) full.insert(full.end(), {'y', 0});  // 2048 bytes, no terminator
  std::vector<uint8_t> longBinary;
  for (int i = 0; i < 300; ++i) longBinary.push_back(static_cast<uint8_t>(i * 7));
  return {
      {"", REG_SZ, utf16(u"default")},
      {"Plain", REG_SZ, utf16(u"quote \" backslash \\ done")},
      {"Unicode \"name\" \\", REG_SZ, utf16(u"Caf\u00e9 \u65e5\u672c \U0001F3B5")},
      {"EmptyText", REG_SZ, utf16(u"")},
      {"NoBytes", REG_SZ, {}},
      {"Padded", REG_SZ, padded},
      {"Unterminated", REG_SZ, full},
      {"OddSize", REG_SZ, {'a', 0, 'b'}},
      {"TwoStrings", REG_SZ, utf16(u"a\0b"s)},
      {"LineBreak", REG_SZ, utf16(u"one\r\ntwo")},
      {"LoneSurrogate", REG_SZ, utf16(u"\xD800x")},
      {"Dword", REG_DWORD, {0x2a, 0, 0, 0}},
      {"HighDword", REG_DWORD, {0xff, 0xfe, 0xfd, 0xfc}},
      {"ShortDword", REG_DWORD, {1, 2, 3}},
      {"Binary", REG_BINARY, {0, 1, 0xff}},
      {"EmptyBinary", REG_BINARY, {}},
      {"LongBinary", REG_BINARY, longBinary},
      {"Expand", REG_EXPAND_SZ, utf16(u"%windir%")},
      {"Multi", REG_MULTI_SZ, utf16(u"a\0b\0"s)},
      {"None", REG_NONE, {5}},
      {"Custom", 0x12345678, {1, 2, 3, 4, 5}},
      {"line\nbreak", REG_DWORD, {0, 0, 0, 0}},
  };
}

const char kKey[] = "HKCU\\Software\\CrestuneTest\\Kinds";

TEST(RegistryFile, EveryValueKindIsWrittenAsRegedit5TextAndSurvivesARestart) {
  TempDir dir;
  std::string exported;
  {
    wince::Device dev(wince::DeviceOptions{.folder = dir.path()});
    auto& reg = dev.registry();
    for (const auto& s : samples()) reg.setValue(kKey, s.name, s.type, s.bytes);
    reg.setValue("HKLM\\SOFTWARE\\Empty\\Leaf", "x", REG_DWORD, RegistryStore::dwordBytes(1));
    reg.deleteValue("HKLM\\SOFTWARE\\Empty\\Leaf", "x");  // an empty key is kept too
    reg.setValue("HKLM", "AtTheRoot", REG_DWORD, RegistryStore::dwordBytes(3));
    exported = reg.exportText();
  }
  EXPECT_EQ(0u, exported.find("Windows Registry Editor Version 5.00\n"));
  // The factory registry's association of .wmv files, and every kind of value.
  for (const char* line : {
           "\n[HKEY_CLASSES_ROOT\\.wmv]\n@=\"WMVFile\"\n",
           "\n[HKEY_CLASSES_ROOT\\WMVFile\\Shell\\Open\\Command]\n@=\"\\\"\\\\Windows\\\\wmplayer.exe\\\" \\\"%1\\\"\"\n",
           "\n[HKEY_CURRENT_USER\\Software\\CrestuneTest\\Kinds]\n@=\"default\"\n",
           "\n\"Plain\"=\"quote \\\" backslash \\\\ done\"\n",
           "\n\"Unicode \\\"name\\\" \\\\\"=\"Caf\xC3\xA9 ",
           "\n\"Dword\"=dword:0000002a\n",
           "\n\"HighDword\"=dword:fcfdfeff\n",
           "\n\"ShortDword\"=hex(4):01,02,03\n",
           "\n\"Binary\"=hex:00,01,ff\n",
           "\n\"EmptyBinary\"=hex:\n",
           "\n\"NoBytes\"=hex(1):\n",
           "\n\"OddSize\"=hex(1):61,00,62\n",
           "\n\"Expand\"=hex(2):25,00,",
           "\n\"Custom\"=hex(12345678):01,02,03,04,05\n",
           "\n\"Padded\"=hex(1):5c,00,50,00,",
       })
    EXPECT_NE(std::string::npos, exported.find(line)) << line;
  // Long hex data continues over lines of at most 80 columns.
  std::istringstream lines(exported);
  for (std::string l; std::getline(lines, l);) EXPECT_LE(l.size(), 80u) << l;
  // The device wrote the whole registry out as it shut down.
  EXPECT_EQ(exported, readFile(dir.path() / "registry.reg"));
  EXPECT_EQ(std::vector<std::string>{"registry.reg"}, folderEntries(dir.path()));
  wince::Device dev(wince::DeviceOptions{.folder = dir.path()});
  auto& reg = dev.registry();
  for (const auto& s : samples()) EXPECT_EQ((Value{s.type, s.bytes}), reg.getValue(kKey, s.name)) << s.name;
  EXPECT_TRUE(reg.keyExists("HKLM\\SOFTWARE\\Empty\\Leaf"));
  EXPECT_TRUE(reg.getValue("HKLM", "AtTheRoot"));
  // The factory values were written at the first start and read back now.
  EXPECT_TRUE(reg.getValue("HKCR\\.wmv", ""));
  EXPECT_EQ(exported, reg.exportText());
}

TEST(RegistryFile, ReadsUtf16WithByteOrderMarkAndRewritesNothingUnchanged) {
  TempDir dir;
  std::u16string text =
      u"Windows Registry Editor Version 5.00\r\n\r\n"
      u"; written by hand\r\n"
      u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Halvorn\\WMP Crestune]\r\n"
      u"\"WMPApplication\"=\"\\\\Windows\\\\Caf\u00e9.exe\"\r\n"
      u"\"IconSize\"=dword:00000001\r\n"
      u"\"Blob\"=hex:01,02,\\\r\n"
      u"  03\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  writeFile(dir.path() / "registry.reg", bytes);

  const fs::path file = dir.path() / "registry.reg";
  const auto written = fs::last_write_time(file);
  {
    wince::Device dev(wince::DeviceOptions{.folder = dir.path()});
    auto& reg = dev.registry();
    const char key[] = "HKLM\\SOFTWARE\\Halvorn\\WMP Crestune";
    EXPECT_EQ((Value{REG_SZ, utf16(u"\\Windows\\Caf\u00e9.exe")}), reg.getValue(key, "WMPApplication"));
    EXPECT_EQ((Value{REG_DWORD, {1, 0, 0, 0}}), reg.getValue(key, "IconSize"));
    EXPECT_EQ((Value{REG_BINARY, {1, 2, 3}}), reg.getValue(key, "Blob"));
    // An existing file is the whole registry: no factory values are added.
    EXPECT_FALSE(reg.keyExists("HKCR\\.wmv"));
    HKEY k = NULL;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Halvorn\\WMP Crestune", 0, 0, &k));
    RegCloseKey(k);
  }
  // A run that read the registry and changed nothing writes nothing, not
  // even at shut-down.
  EXPECT_EQ(written, fs::last_write_time(file));
  EXPECT_EQ(bytes, readFile(file));
  EXPECT_FALSE(fs::exists(dir.path() / "registry.journal"));
}

// "[HKEY_LOCAL_MACHINE\\k\\k...]": `levels` key names of `length` characters.
std::string keyLine(size_t levels, size_t length) {
  std::string line = "[HKEY_LOCAL_MACHINE";
  for (size_t i = 0; i < levels; ++i) line += "\\" + std::string(length, 'k');
  return line + "]\n";
}

// A damaged registry file, or a damaged change in the journal after a good
// one, stops the device naming the file and the line, and leaves the folder
// as it was.
TEST(RegistryFile, ADamagedFileOrJournalIsReportedWithItsLineAndLeftAlone) {
  const std::string version = "Windows Registry Editor Version 5.00\n";
  const std::string head = version + "\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n";
  const std::string change = "[HKEY_CURRENT_USER\\Software]\t\"ok\"=dword:00000001\n";  // a journal's line
  struct Case {
    std::string text;
    int line;
    const char* file = "registry.reg";
  } cases[] = {
      {"REGEDIT4\n", 1},
      {"", 1},
      {head + "\"A\"=dword:00012345\n\"B\"=dword:xyz\n", 5},
      {head + "\"A\"=\"unterminated\n", 4},
      {head + "\"A\"=\"bad \\q escape\"\n", 4},
      {head + "\"A\" \"no equals\"\n", 4},
      {head + "\"A\"=hex:01,2\n", 4},
      {head + "\"A\"=hex(zz):01\n", 4},
      {head + "\"A\"=hex:01,\\\n  02,\\\n  0x\n\"B\"=dword:1\n", 4},
      {head + "\"A\"=\"text\" trailing\n", 4},
      {head + "\"A\"=maybe\n", 4},
      {head + "[HKEY_SOMEWHERE\\X]\n", 4},
      {head + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 4},
      {head + "[HKEY_LOCAL_MACHINE\\A\n", 4},
      {head + "stray text\n", 4},
      {"Windows Registry Editor Version 5.00\n\"Early\"=dword:00000001\n", 2},
      {head + "\"A\"=\"\xC3(\"\n", 4},
      // Cut short inside a line: a dword has exactly eight digits, and a
      // comma in hex data is always followed by another byte.
      {head + "\"b\"=dword:1234", 4},
      {head + "\"b\"=dword:\n", 4},
      {head + "\"b\"=dword:123456789\n", 4},
      {head + "\"b\"=dwo", 4},
      {head + "\"h\"=hex:01,02,", 4},
      {head + "\"h\"=hex(2):41,00,\n[HKEY_LOCAL_MACHINE\\Next]\n", 4},
      {head + "\"h\"=hex:01,\\\n  02,", 4},
      {head + "\"h\"=hex:01,\\\n", 4},
      {head + "\"h\"=hex:0", 4},
      {head + "\"na", 4},
      {head + "[HKEY_LOCAL_MACHINE\\SOFT", 4},
      // Beyond the limits of keys: 16 levels below a root, 255 characters a name.
      {head + keyLine(17, 1), 4},
      {head + keyLine(1, 256), 4},
      // Damage in the journal, which has no heading line of its own.
      {change + "garbage\n", 2, "registry.journal"},
      {change + "[HKEY_NOWHERE\\X]\n", 2, "registry.journal"},
      {change + "[-HKEY_LOCAL_MACHINE]\n", 2, "registry.journal"},
      {change + "[-HKEY_LOCAL_MACHINE\\A]\t\"v\"=-\n", 2, "registry.journal"},
      {change + "[HKEY_LOCAL_MACHINE\\A]\t\"v\"=dword:12\n", 2, "registry.journal"},
      {change + "[HKEY_LOCAL_MACHINE\\A]\t\"v\"=hex:01,\n", 2, "registry.journal"},
      {change + "[HKEY_LOCAL_MACHINE\\A]\tv=-\n", 2, "registry.journal"},
      {change + "[HKEY_LOCAL_MACHINE\\A]\t\"v\"=- \n", 2, "registry.journal"},
      {change + "[HKEY_LOCAL_MACHINE\\A]\t\n", 2, "registry.journal"},
      {change + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 2, "registry.journal"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + (": " + c.text));
    TempDir dir;
    const fs::path file = dir.path() / c.file, reg = dir.path() / "registry.reg";
    if (c.file != std::string("registry.reg")) writeFile(reg, version);
    writeFile(file, c.text);
    const std::string regText = readFile(reg);
    const std::vector<std::string> before = folderEntries(dir.path());
    const std::string msg = errorOf([&] { wince::Device dev(wince::DeviceOptions{.folder = dir.path()}); });
    const std::string prefix = file.string() + ": line " + std::to_string(c.line) + ": ";
    EXPECT_EQ(0u, msg.find(prefix)) << msg;
    EXPECT_GT(msg.size(), prefix.size()) << msg;
    EXPECT_EQ(std::string::npos, msg.find('\n')) << msg;
    EXPECT_EQ(c.text, readFile(file));
    EXPECT_EQ(regText, readFile(reg));
    EXPECT_EQ(before, folderEntries(dir.path()));
    // The device can start again once the failed one is gone.
    EXPECT_FALSE(wince::Device::exists());
  }
}

}  // namespace
